// Answer files: read as /LOADINF reads them. A file that is taken, written again as
// /SAVEINF writes it, is read back to the same answers; a file that is refused says why
// and leaves the options as they were.
#include "setup/config/answer_file.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = qvfuzz::ScratchFolder("inf");
    const std::string given = folder + "/given.inf", saved = folder + "/saved.inf";
    qvfuzz::WriteFile(given, qvfuzz::Bytes(data, size));

    qv::StartupOptions options;
    options.logPath = "unchanged";
    std::string problem;
    if (!qv::ReadAnswerFile(given, options, problem)) {
        QV_FUZZ_CHECK(!problem.empty() && options.logPath == "unchanged" && options.dbPlatformCode == "SBS");
        return 0;
    }
    qv::RunError error;
    QV_FUZZ_CHECK(qv::WriteAnswerFile(saved, options, error));
    qv::StartupOptions again;
    QV_FUZZ_CHECK(qv::ReadAnswerFile(saved, again, problem));
    for (const qv::Switch& sw : qv::Switches()) QV_FUZZ_CHECK(qv::AnswerOf(sw, again) == qv::AnswerOf(sw, options));
    return 0;
}
