#include "setup/session/run_lock.h"

#include <cstdio>

#include "setup/session/text_util.h"

namespace qv {

std::string RunLockName(const Path& dir) {
    const std::string& key = dir.Key();
    uint32_t hash = 2166136261u;  // FNV-1a
    for (unsigned char c : key) hash = (hash ^ c) * 16777619u;
    char name[64];
    std::snprintf(name, sizeof name, "MarrowvaleSetup-%08x-%zu", static_cast<unsigned>(hash), key.size());
    return name;
}

}  // namespace qv
