// The file-list tool's check of a CD against the installer: a CD of one product (a fixed
// catalogue and three files) whose QVSETUP.INF is the input. When the check finds no
// problem, the installer's copy pass over the same list, with checksums checked, must
// put every entry in place without a single message box.
#include "setup/engine/file_list.h"
#include "setup/session/catalogue.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/filelist/file_list_master.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string cdDir = qvfuzz::ScratchFolder("cd");
    static const std::string productDir = [] {
        const std::string dir = qvfuzz::ScratchFolder("cd/PROD");
        qvfuzz::MakeSampleProduct(dir);
        return dir + "/";
    }();
    static const std::string destRoot = qvfuzz::ScratchFolder("dest");
    qvfuzz::WriteFile(productDir + qv::kFileListName, qvfuzz::Bytes(data, size));

    const qvtools::CdCheckResult check = qvtools::CheckCd(cdDir);
    QV_FUZZ_CHECK(check.products == 1);
    if (!check.problems.empty()) return 0;

    qv::Session session;
    session.Languages = {qv::EnglishLanguage()};
    qv::SetDbPlatform(session, *qv::FindDbPlatform("SBS"));
    qvfuzz::AnsweringPort port;
    qv::ReadSKU(session, port, productDir);
    QV_FUZZ_CHECK(session.ProductCount == 1);
    session.ListedProducts[1] = session.Products[1];
    session.CurrentProduct = 1;
    session.ModuleBytes = session.ListedProducts[1].Size;
    session.ProductBytes = session.ListedProducts[1].Size;
    qv::InstallJournal journal(qvfuzz::PlacesOf(destRoot));
    const qv::RunOutcome outcome = qv::InstallDirectory(session, port, journal, productDir, qvfuzz::PathOf(destRoot));
    if (port.messages != 0) std::fprintf(stderr, "the installer says: %s\n", port.first.c_str());
    QV_FUZZ_CHECK(port.messages == 0);
    QV_FUZZ_CHECK(outcome.result == qv::RunResult::Completed);
    int installed = 0;
    for (const auto& entry : qvfuzz::stdfs::recursive_directory_iterator(destRoot))
        if (entry.is_regular_file()) ++installed;
    QV_FUZZ_CHECK(installed == check.entries);
    qvfuzz::EmptyFolder(destRoot);
    return 0;
}
