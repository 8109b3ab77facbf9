// The native build runs the logic on Windows paths: every "\" stands for "/".
#pragma once

#include <algorithm>
#include <string>

namespace qv {

inline std::string NativePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace qv
