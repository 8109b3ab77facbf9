// win_hold_file.exe <path> <event>: another program that holds a file open without sharing,
// as a virus scanner or an editor would, until it is ended. Once it holds the file it
// signals the named event, on which the tests of faults wait.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    HANDLE held = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!held || !SetEvent(held)) return 3;
    Sleep(INFINITE);
    return 0;
}
