// standin_pack: makes a compressed product's archive program from the stand-in program
// and the files its file list names.
//   standin_pack <standin_archive.exe> <out.exe> <product code> <product dir>
// Every entry of <product dir>\QVSETUP.INF becomes a member, read from <product dir>.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/standin_archive/archive_format.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: standin_pack <standin_archive.exe> <out.exe> <product code> <product dir>\n");
        return 2;
    }
    using namespace qvtools::standin;
    std::vector<Member> members;
    std::string error;
    if (!MembersFromFileList(argv[4], members, error) || !PackArchive(argv[1], argv[2], argv[3], members, error)) {
        std::fprintf(stderr, "standin_pack: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: %zu members\n", argv[2], members.size());
    return 0;
}
