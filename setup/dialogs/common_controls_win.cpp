#include "setup/dialogs/common_controls_win.h"

namespace qv::common_controls {
namespace {

struct EntryPoints {
    BOOL(WINAPI* init)(const INITCOMMONCONTROLSEX*) = nullptr;
    BOOL(WINAPI* setSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR) = nullptr;
    BOOL(WINAPI* removeSubclass)(HWND, SUBCLASSPROC, UINT_PTR) = nullptr;
    LRESULT(WINAPI* defSubclass)(HWND, UINT, WPARAM, LPARAM) = nullptr;
};

template <typename Function>
void Bind(HMODULE library, Function& slot, const char* name) {
    slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// The entry points, once the library is loaded; null while it cannot be.
const EntryPoints* Library() {
    static EntryPoints entries;
    static bool bound = false;
    if (bound) return &entries;
    const HMODULE library = LoadLibraryA("comctl32.dll");
    if (!library) return nullptr;
    Bind(library, entries.init, "InitCommonControlsEx");
    Bind(library, entries.setSubclass, "SetWindowSubclass");
    Bind(library, entries.removeSubclass, "RemoveWindowSubclass");
    Bind(library, entries.defSubclass, "DefSubclassProc");
    bound = true;
    return &entries;
}

}  // namespace

bool Init(DWORD classes) {
    const EntryPoints* library = Library();
    if (!library || !library->init) return false;
    const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    return library->init(&controls) != FALSE;
}

bool SetSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    const EntryPoints* library = Library();
    if (!library || !library->setSubclass) return false;
    return library->setSubclass(window, procedure, id, data) != FALSE;
}

void RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    const EntryPoints* library = Library();
    if (library && library->removeSubclass) library->removeSubclass(window, procedure, id);
}

LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const EntryPoints* library = Library();
    if (library && library->defSubclass) return library->defSubclass(window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace qv::common_controls
