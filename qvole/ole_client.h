// COleClient: the shortcut maker behind the library's three exports. It holds no data of
// its own; its state is process-wide, written by Init and read by MakeShortCut and Uninit:
// the loaded OLE library and three of its entry points, resolved at run time so that the
// library does not load OLE until it is asked to.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>

class COleClient {
public:
    // Loads "OLE32.DLL", resolves CoInitialize, CoUninitialize and CoCreateInstance and
    // initialises OLE on the calling thread. Returns the result of CoInitialize (0, or 1
    // when the thread already was initialised); on a failure shows a message box and
    // returns its result.
    int32_t Init();
    // Uninitialises OLE on the calling thread and releases the OLE library, undoing one
    // successful Init. Returns nonzero when the library was released; 0 without a
    // successful Init to undo.
    int32_t Uninit();
    // Makes one shortcut (see MakeShortCut in shortcut_paths.h); 1 when its file was
    // saved, 0 on any failure, also when OLE has not been bound by Init. Only reads its
    // arguments; args may be null (arguments left unset).
    int32_t MakeShortCut(int32_t common, const char* group, const char* name, const char* target,
                         const char* workdir, const char* args);

    // True when the version query succeeds and reports the Windows 95/98 platform.
    static bool IsWin9x();

    using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    using CoInitializeFn = HRESULT(WINAPI*)(LPVOID);
    using CoUninitializeFn = void(WINAPI*)();

private:
    static CoCreateInstanceFn s_coCreateInstance;
    static CoInitializeFn s_coInitialize;
    static CoUninitializeFn s_coUninitialize;
    static HMODULE s_oleLibrary;
    // Successful Init calls not yet undone by Uninit; each holds a reference to the
    // library.
    static int s_initCount;
    // Of those, the ones whose CoInitialize succeeded and so must be balanced by
    // CoUninitialize (a failed CoInitialize must not be).
    static int s_comInitCount;

    friend class OleLibraryBinder;
    friend class WinShortcutShell;
};
