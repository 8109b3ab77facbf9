// The three exports of qvole.dll as the installer binds them: by their undecorated
// names, stdcall, 32-bit integers and 8-bit strings (Windows tests only).
#pragma once

#include <windows.h>

#include <cstdint>

namespace qvtest {

using OleInitFn = int32_t(__stdcall*)();
using OleUninitFn = int32_t(__stdcall*)();
using MakeShortCutFn = int32_t(__stdcall*)(int32_t, const char*, const char*, const char*, const char*,
                                           const char*);

// An export of a loaded library as a function of type Fn; nullptr when it is missing.
template <typename Fn>
Fn Export(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace qvtest
