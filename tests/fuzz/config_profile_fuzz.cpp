// The workstation configuration qvtools8.cfg: its 29 entries written into the input's
// file. Writing them twice must give the file that writing them once gave: the entries
// found again in place, every other line read back as it was saved.
#include "setup/config/config_profile.h"
#include "setup/session/file_system.h"
#include "setup/session/languages.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool WriteConfig(const std::string& path, std::string& content) {
    qv::Session session;
    session.InstallDir = "c:\\qv";
    session.TempDir = "c:\\temp";
    session.Languages = {qv::EnglishLanguage()};
    session.DbConfigName = "SQLBASE";
    qvfuzz::AnsweringPort port;
    if (!qv::WriteWorkstationConfig(session, port, qvfuzz::PathOf(path), qv::WorkstationConfigEntries(session, "c:\\sqlbase"))) return false;
    QV_FUZZ_CHECK(port.messages == 0 && session.ConfigLines.empty());
    qv::RunError error;
    QV_FUZZ_CHECK(qv::fs::ReadWholeFile(path, content, error));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = qvfuzz::ScratchFolder("cfg") + "/" + qv::kWorkstationConfigName;
    qvfuzz::WriteFile(path, qvfuzz::Bytes(data, size));

    std::string once, twice;
    QV_FUZZ_CHECK(WriteConfig(path, once));
    QV_FUZZ_CHECK(WriteConfig(path, twice));
    QV_FUZZ_CHECK(once == twice);
    QV_FUZZ_CHECK(!qv::fs::Exists(path + ".~new"));
    return 0;
}
