// Holds a Wine session open for the benchmark, as a logged-in user's session is open on
// Windows: while it runs, the wineserver, the services and the desktop process stay up, so
// that no timed run pays for starting them and every run finds what the others found.
// Wine shuts its desktop down a second after the last program using it ends, and the
// server a few seconds after the last program of all; this program uses the desktop and
// waits until it is killed.
//   session.exe
#include <windows.h>

int main() {
    if (!GetDesktopWindow()) return 1;
    Sleep(INFINITE);
    return 0;
}
