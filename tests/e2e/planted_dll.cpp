// A DLL planted where a careless program would load it from: the current directory, or the
// program's own folder in place of a system library. It exports the names of the libraries
// it stands in for (planted_dll.def), and when it is loaded it leaves a marker file named
// after itself in the folder that QV_PLANTED_MARKERS names.
#include <windows.h>

#include <cstdint>
#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH * 2], folder[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(self, path, sizeof path);
    const DWORD folderLength = GetEnvironmentVariableA("QV_PLANTED_MARKERS", folder, sizeof folder);
    if (length == 0 || length >= sizeof path || folderLength == 0 || folderLength >= sizeof folder) return TRUE;
    std::string name(path, length);
    name = name.substr(name.find_last_of('\\') + 1);
    const std::string marker = std::string(folder, folderLength) + "\\" + name + ".loaded";
    HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return TRUE;
}

// The checksum library's entry point, believed by a program that loads this copy.
extern "C" int32_t __stdcall PlantedGetCRC(const void*, int32_t, int32_t running) { return running; }

// The version and network libraries' entry points that the installer uses.
extern "C" DWORD __stdcall PlantedVersionSize(LPCSTR, LPDWORD) { return 0; }
extern "C" BOOL __stdcall PlantedVersionInfo(LPCSTR, DWORD, DWORD, LPVOID) { return FALSE; }
extern "C" BOOL __stdcall PlantedVersionQuery(LPCVOID, LPCSTR, LPVOID*, PUINT) { return FALSE; }
extern "C" DWORD __stdcall PlantedGetConnection(LPCSTR, LPSTR, LPDWORD) { return ERROR_NOT_CONNECTED; }
