// The common controls, bound the first time the windows need them. The program does not
// import the library: loading it runs its start-up, which under Wine starts the desktop
// process, and a run without windows needs none of it. It is loaded by its bare name, so
// that the program's manifest picks its version, from the system folder only (the
// program restricts the DLL search before anything else runs). Windows builds only.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace qv::common_controls {

// InitCommonControlsEx for these classes; false, with the system's last error, when the
// library or the call fails.
bool Init(DWORD classes);

// SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc. Subclassing fails, with
// the system's last error, when the library cannot be had; DefSubclass is called only
// from a procedure that was subclassed.
bool SetSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
void RemoveSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
LRESULT DefSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv::common_controls
