// The library's application object: exactly one per process, built when the library is
// loaded and gone when it is unloaded. It holds the shortcut maker that the exports
// forward to and gives the library's message boxes their caption. Unloading does not
// release OLE; only OleUninit does.
#pragma once

#include <cstdint>

#include "qvole/ole_client.h"

class CShortcutApp {
public:
    COleClient oleClient;

    // A message box with an OK button, owned by the calling thread's active window and
    // titled with the library's name; returns the box's result.
    int32_t ShowMessage(const char* text) const;
};

extern CShortcutApp theApp;
