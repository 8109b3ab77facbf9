#include "setup/engine/dir_path.h"

#include "setup/session/file_system.h"

namespace qv {

bool MakeDirPath(const std::string& path) {
    size_t stop = path.find('\\');
    if (stop == std::string::npos) return true;
    for (;;) {
        stop = path.find('\\', stop + 1);
        const std::string prefix = path.substr(0, stop);
        if (!prefix.empty() && prefix.back() != '\\' && !fs::Exists(prefix) && !fs::CreateDir(prefix)) return false;
        if (stop == std::string::npos) return true;
    }
}

}  // namespace qv
