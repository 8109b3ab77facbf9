// The stand-in archive program: its command line, then the extraction of the member it
// names from the program file. The input is the command line, a line feed, and the
// program file with its payload and trailer. The member goes into a scratch folder,
// whatever target the command line names.
#include "tests/fuzz/fuzz_support.h"
#include "tools/standin_archive/archive_format.h"

namespace sa = qvtools::standin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string archivePath = qvfuzz::ScratchFolder("cd") + "/QVRPT.exe";
    static const std::string targetDir = qvfuzz::ScratchFolder("target");
    const std::string_view input = qvfuzz::Bytes(data, size);
    const size_t feed = input.find('\n');
    const std::string commandLine(input.substr(0, feed == std::string_view::npos ? 0 : feed));
    qvfuzz::WriteFile(archivePath, feed == std::string_view::npos ? input : input.substr(feed + 1));

    sa::Request request;
    std::string error;
    if (!sa::ParseCommandLine(commandLine, request, error)) {
        QV_FUZZ_CHECK(!error.empty());
        request = {sa::PasswordFor("QVRPT"), "a.txt", ""};
    }
    // Natively a "/" in the member's name is a separator that the extraction keeps: such
    // a member could be written outside the scratch folder.
    if (request.spec.find('/') != std::string::npos) return 0;
    request.targetDir = targetDir;
    error.clear();

    const sa::ExitCode code = sa::Extract(archivePath, request, error);
    // An extraction leaves the member alone in the folder, no scratch file beside it; a
    // failure says why.
    int files = 0;
    for (const auto& entry : qvfuzz::stdfs::directory_iterator(targetDir)) {
        QV_FUZZ_CHECK(entry.is_regular_file());
        ++files;
    }
    QV_FUZZ_CHECK(files == (code == sa::kExtracted ? 1 : 0));
    QV_FUZZ_CHECK((code == sa::kExtracted) == error.empty());
    qvfuzz::EmptyFolder(targetDir);
    return 0;
}
