// Install records: read as every run reads the record of its directory. A record that is
// taken names nothing outside the places an install writes to, and written again it reads
// back the same; a journal's steps name nothing outside them either.
#include <cctype>

#include "setup/engine/install_record.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const qv::RecordConfinement kConfinement{"c:\\qv", {"c:\\programdata\\start menu\\programs"}, {}, "Marrowvale-1234"};

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The install directory, a Programs folder, or a transfer configuration.
bool Confined(const std::string& path) {
    const std::string upper = Upper(path);
    return qv::IsPathBelow(path, kConfinement.installDir) || upper.find("\\START MENU\\PROGRAMS\\") != std::string::npos ||
           (upper.size() > 10 && upper.compare(upper.size() - 10, 10, "\\QVXFR.CFG") == 0);
}

void CheckConfined(const qv::InstallRecord& r) {
    for (const std::string& folder : r.folders) QV_FUZZ_CHECK(Confined(folder));
    for (const qv::RecordedFile& f : r.files) QV_FUZZ_CHECK(qv::IsPathBelow(f.path, kConfinement.installDir));
    for (const qv::RecordedEntry& e : r.entries) QV_FUZZ_CHECK(qv::IsPathBelow(e.file, kConfinement.installDir));
    for (const qv::RecordedDbCode& c : r.dbCodes) QV_FUZZ_CHECK(qv::IsPathBelow(c.file, kConfinement.installDir));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(qvfuzz::Bytes(data, size));
    qv::RecordFile file;
    std::string problem;
    if (!qv::ParseRecord(text, kConfinement, file, problem)) {
        QV_FUZZ_CHECK(problem.rfind("line ", 0) == 0);
        return 0;
    }
    CheckConfined(file.record);
    CheckConfined(file.written);
    for (const qv::JournalStep& step : file.journal)
        if (step.kind != qv::JournalStep::Kind::Commit) QV_FUZZ_CHECK(Confined(step.path));
    if (!file.sealed) return 0;
    const std::string again = qv::FormatRecord(file.record);
    qv::RecordFile reread;
    QV_FUZZ_CHECK(qv::ParseRecord(again, kConfinement, reread, problem));
    QV_FUZZ_CHECK(qv::FormatRecord(reread.record) == again);
    return 0;
}
