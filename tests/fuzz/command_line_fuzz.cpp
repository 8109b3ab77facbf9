// The installer's command line: split into words, its switches read, looked at leniently
// and read whole as the start-up reads it.
#include "setup/session/command_line.h"
#include "setup/session/platforms.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool tempSet = setenv("TEMP", qvfuzz::ScratchDir().c_str(), 1) == 0;
    QV_FUZZ_CHECK(tempSet);
    const std::string text(qvfuzz::Bytes(data, size));

    for (const std::string& word : qv::SplitSwitchWords(text)) QV_FUZZ_CHECK(word.find('"') == std::string::npos);

    qv::StartupOptions options;
    options.languageCode = "unchanged";
    std::string problem;
    if (qv::ReadSwitches(text, options, problem)) {
        QV_FUZZ_CHECK(problem.empty());
        QV_FUZZ_CHECK(options.installType >= 0 && options.installType <= 6);
        QV_FUZZ_CHECK(qv::FindDbPlatform(options.dbPlatformCode) != nullptr);
        QV_FUZZ_CHECK(options.groupTitle.size() <= qv::kMaxGroupTitle);
        QV_FUZZ_CHECK(!(options.groupGiven && options.noGroup));
    } else {
        // A refusal tells the user why and leaves the options as they were.
        QV_FUZZ_CHECK(!problem.empty());
        QV_FUZZ_CHECK(options.languageCode == "unchanged" && options.dbPlatformCode == "SBS" && !options.silent);
    }

    qv::ReadSwitchesLeniently(text);

    qv::Session session;
    qvfuzz::AnsweringPort port;
    qv::StartupOptions parsed;
    const bool ok = qv::ParseCommandLine(session, port, text, parsed);
    // The start-up goes on exactly when it told the user nothing.
    QV_FUZZ_CHECK(ok == (port.messages == 0));
    if (ok) QV_FUZZ_CHECK(session.TempDir == qvfuzz::ScratchDir());
    return 0;
}
