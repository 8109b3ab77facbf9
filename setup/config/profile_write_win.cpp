#include <windows.h>

#include "setup/config/profile_write.h"

namespace qv {

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& file) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str()) != 0;
}

}  // namespace qv
