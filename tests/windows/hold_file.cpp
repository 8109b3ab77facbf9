// win_hold_file.exe <path>: another program that holds a file open without sharing, as a
// virus scanner or an editor would, until it is ended. The tests of faults start it.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    Sleep(INFINITE);
    return 0;
}
