// A DLL of the installer's own, bound by name the first time one of its entry points is
// needed and kept loaded until the program ends. A library that cannot be loaded is
// looked for again at the next call, so that a later call may succeed once it is there;
// an entry point is looked up once, when the library is loaded. Windows builds only.
#pragma once

#include <windows.h>

namespace qv {

class LazyLibrary {
public:
    explicit LazyLibrary(const char* fileName) : fileName_(fileName) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // Loads the library unless it is loaded; false while it cannot be loaded.
    bool Load() {
        if (!module_) module_ = LoadLibraryA(fileName_);
        return module_ != nullptr;
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
    HMODULE module_ = nullptr;
};

}  // namespace qv
