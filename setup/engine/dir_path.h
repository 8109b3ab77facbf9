// Directory creation and the byte arithmetic of the progress figures.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Creates every missing directory along path ("c:\a\b" creates c:\a and c:\a\b). The
// first component (normally the drive) is never created. False as soon as a step fails.
bool MakeDirPath(const std::string& path);

// a / b rounded up, for a >= 0 and b > 0.
constexpr int32_t CeilDiv(int32_t a, int32_t b) { return a / b + (a % b != 0 ? 1 : 0); }

// n rounded up to a whole number of clusters.
constexpr int32_t RoundToCluster(int32_t n, int32_t clusterSize) { return CeilDiv(n, clusterSize) * clusterSize; }

}  // namespace qv
