// The profile calls on the build machine: the text editing that stands in for Windows'.
#include "setup/config/profile_edit.h"
#include "setup/config/profile_file.h"

namespace qv {

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const Path& file) {
    return WriteProfileText(section, key, value, file);
}

bool DeleteProfileKey(const std::string& section, const std::string& key, const Path& file) {
    return DeleteProfileText(section, key, file);
}

std::optional<std::string> ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& file) {
    return ReadProfileText(section, key, file);
}

}  // namespace qv
