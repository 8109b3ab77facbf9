#include <windows.h>

#include "setup/config/profile_file.h"

namespace qv {

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const Path& file) {
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str())) return false;
    // The system may keep the change in its cache: this call writes the file out (where
    // there is no cache it does nothing, and says so).
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return true;
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const Path& file) {
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, file.c_str())) return false;
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return true;
}

std::optional<std::string> ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& file) {
    // A default no value can hold tells a missing key from an empty one.
    constexpr const char* kMissing = "\x01";
    char value[4096];
    GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissing, value, sizeof value, file.c_str());
    if (std::string(value) == kMissing) return std::nullopt;
    return std::string(value);
}

}  // namespace qv
