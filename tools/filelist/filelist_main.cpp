// filelist: masters the file lists of an installation CD.
//   filelist write <productdir>...   writes each folder's QVSETUP.INF
//   filelist check <cddir>           checks every product of a CD against its lists
// Exit status: 0 done, 1 a problem was found or a list could not be written, 2 usage.
#include <cstdio>
#include <string>

#include "tools/filelist/file_list_master.h"

namespace {

int Usage() {
    std::fputs(
        "usage: filelist write <productdir>...   write QVSETUP.INF of each product folder\n"
        "       filelist check <cddir>           check every product folder of a CD\n",
        stderr);
    return 2;
}

int Write(int argc, char** argv) {
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::string error;
        if (!qvtools::WriteFileList(argv[i], error)) {
            std::fprintf(stderr, "filelist: %s\n", error.c_str());
            status = 1;
            continue;
        }
        std::printf("filelist: wrote %s\n", argv[i]);
    }
    return status;
}

int Check(const char* cdDir) {
    const qvtools::CdCheckResult result = qvtools::CheckCd(cdDir);
    for (const std::string& note : result.notes) std::printf("filelist: %s\n", note.c_str());
    for (const qvtools::CdProblem& p : result.problems)
        std::fprintf(stderr, "%s\n", qvtools::FormatProblem(p).c_str());
    std::printf("filelist: checked %d product(s) and %d file-list entries in %s: %zu problem(s)\n", result.products,
                result.entries, cdDir, result.problems.size());
    return result.problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string command = argv[1];
    if (command == "write") return Write(argc, argv);
    if (command == "check" && argc == 3) return Check(argv[2]);
    return Usage();
}
