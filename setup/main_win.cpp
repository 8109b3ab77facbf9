// qvsetup.exe: a tiny WinMain around Run, so that the whole program can be driven
// from tests.
#include <windows.h>

#include "setup/setup_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return qv::RunSetup(qv::ProgramArguments()); }
