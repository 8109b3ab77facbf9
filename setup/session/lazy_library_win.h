// A DLL bound by full path the first time one of its entry points is needed, and kept
// loaded until the program ends: the installer's own libraries from the program's folder,
// the system's from the system folder, never from wherever the search for a bare name
// would find one (the current directory, PATH). A library that cannot be loaded is looked
// for again at the next call, so that a later call may succeed once it is there; an entry
// point is looked up once, when the library is loaded. Windows builds only.
#pragma once

#include <windows.h>

#include <string>

#include "setup/session/run_error.h"

namespace qv {

// Lets the program look for DLLs in the system folder only, before anything else runs:
// SetDefaultDllDirectories where the system has it, else SetDllDirectoryA(""), which at
// least takes the current directory out of the search.
void RestrictDllSearch();

class LazyLibrary {
public:
    enum class Folder { Program, System };

    LazyLibrary(const char* fileName, Folder folder) : fileName_(fileName), folder_(folder) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The full path the library is loaded from.
    std::string Path() const;

    // Loads the library unless it is loaded; false, with the error, while it cannot be.
    [[nodiscard]] bool Load(RunError& error);
    bool Load() {
        RunError ignored;
        return Load(ignored);
    }

    // Binds slot to the entry point `name`, loading the library first; false while the
    // library or the entry point is missing.
    template <typename Function>
    bool Bind(Function& slot, const char* name) {
        if (!slot && Load())
            slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
        return slot != nullptr;
    }

private:
    const char* fileName_;
    Folder folder_;
    HMODULE module_ = nullptr;
};

}  // namespace qv
