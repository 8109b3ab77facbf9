// The few registry calls the installer makes: the Apps & features entry of an install,
// under ...\CurrentVersion\Uninstall of the machine or of the user. Windows uses the
// registry itself; natively a map in memory stands in, so that the logic and its tests
// run on the build machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "setup/session/run_error.h"

namespace qv::reg {

enum class Root { LocalMachine, CurrentUser };

// "HKLM" or "HKCU", as the install record and the log name a root.
const char* RootName(Root root);

struct Value {
    std::string name;
    std::variant<std::string, uint32_t> data;  // REG_SZ or REG_DWORD
};

// Creates the key (and the keys above it) where missing and sets these values in it.
[[nodiscard]] bool SetValues(Root root, const std::string& key, const std::vector<Value>& values, RunError& error);
// A string value of the key; nothing when the key or the value is missing.
std::optional<std::string> ReadString(Root root, const std::string& key, const std::string& name);
bool KeyExists(Root root, const std::string& key);
// Whether this program may make keys below `key` (natively always): under the machine's
// root, only a run with the administrators' rights may.
bool CanWrite(Root root, const std::string& key);
#ifndef _WIN32
// Natively: whether CanWrite and SetValues let this root be written (a test's run without
// the administrators' rights).
void SetWritableForTests(Root root, bool writable);
#endif
// Deletes the key with its values (it has no subkeys of ours).
[[nodiscard]] bool DeleteKey(Root root, const std::string& key, RunError& error);

}  // namespace qv::reg
