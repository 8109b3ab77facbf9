// The registry calls with the ANSI Win32 functions.
#include <windows.h>

#include "setup/session/registry.h"
#include "setup/session/registry_key_win.h"

namespace qv::reg {
namespace {

HKEY Handle(Root root) { return root == Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

}  // namespace

bool SetValues(Root root, const std::string& key, const std::vector<Value>& values, RunError& error) {
    ScopedKey k;
    LONG status = RegCreateKeyExA(Handle(root), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                  nullptr, &k.h, nullptr);
    if (status != ERROR_SUCCESS) return FailWith(status, error);
    for (const Value& v : values) {
        if (const std::string* text = std::get_if<std::string>(&v.data))
            status = RegSetValueExA(k.h, v.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                                    static_cast<DWORD>(text->size() + 1));
        else {
            const DWORD number = std::get<uint32_t>(v.data);
            status = RegSetValueExA(k.h, v.name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                    sizeof number);
        }
        if (status != ERROR_SUCCESS) return FailWith(status, error);
    }
    return true;
}

std::optional<std::string> ReadString(Root root, const std::string& key, const std::string& name) {
    ScopedKey k;
    if (RegOpenKeyExA(Handle(root), key.c_str(), 0, KEY_QUERY_VALUE, &k.h) != ERROR_SUCCESS) return std::nullopt;
    char buffer[4096];
    DWORD size = sizeof buffer - 1, type = 0;
    if (RegQueryValueExA(k.h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    buffer[size] = '\0';
    return std::string(buffer);
}

bool KeyExists(Root root, const std::string& key) {
    ScopedKey k;
    return RegOpenKeyExA(Handle(root), key.c_str(), 0, KEY_QUERY_VALUE, &k.h) == ERROR_SUCCESS;
}

bool CanWrite(Root root, const std::string& key) {
    ScopedKey k;
    return RegOpenKeyExA(Handle(root), key.c_str(), 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE, &k.h) == ERROR_SUCCESS;
}

bool DeleteKey(Root root, const std::string& key, RunError& error) {
    const LONG status = RegDeleteKeyA(Handle(root), key.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || FailWith(status, error);
}

}  // namespace qv::reg
