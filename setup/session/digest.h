// The SHA-256 of a text, with the platform's own hashing: CNG in Windows, the system's
// libcrypto natively. What proves that the install record is the one its last run wrote.
#pragma once

#include <string>
#include <string_view>

namespace qv {

// The digest in 64 hex digits, small letters; empty when the platform cannot compute it.
std::string Sha256Hex(std::string_view bytes);

}  // namespace qv
