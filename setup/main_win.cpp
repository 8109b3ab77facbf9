// qvsetup.exe: a tiny WinMain around Run, so that the whole program can be driven
// from tests.
#include <windows.h>

#include "setup/session/lazy_library_win.h"
#include "setup/setup_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before any library is loaded: DLLs come from the system folder or by full path only.
    qv::RestrictDllSearch();
    return qv::RunSetup(qv::ProgramArguments());
}
