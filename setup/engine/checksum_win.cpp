// The checksum library, bound by name at the first call and kept loaded.
#include <windows.h>

#include <string>

#include "setup/engine/checksum.h"

namespace qv {
namespace {

using GetCrcFunction = int32_t(__stdcall*)(const void* block, int32_t length, int32_t running);

enum class Binding { NotTried, Bound, NoLibrary, NoEntryPoint };

struct Library {
    Binding state = Binding::NotTried;
    GetCrcFunction function = nullptr;
};

Library& Bind() {
    static Library library;
    if (library.state != Binding::NotTried && library.state != Binding::NoLibrary) return library;
    // The library stays loaded until the process ends; a library that was missing is
    // looked for again at the next call, so that a later copy may still succeed.
    HMODULE module = LoadLibraryA("qvcrc.dll");
    if (!module) {
        library.state = Binding::NoLibrary;
        return library;
    }
    library.function = reinterpret_cast<GetCrcFunction>(reinterpret_cast<void*>(GetProcAddress(module, "GetCRC")));
    library.state = library.function ? Binding::Bound : Binding::NoEntryPoint;
    return library;
}

}  // namespace

bool GetCRC(const void* block, int32_t length, int32_t& running, RunError& error) {
    const Library& library = Bind();
    switch (library.state) {
        case Binding::Bound: running = library.function(block, length, running); return true;
        case Binding::NoEntryPoint: error = DllEntryPointError(); return false;
        default: error = DllLoadError(); return false;
    }
}

}  // namespace qv
