#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>

#include "setup/session/digest.h"
#include "setup/session/lazy_library_win.h"

namespace qv {
namespace {

// CNG, bound from the system folder at the first digest: the program still starts where
// the system has none (it then keeps no digest).
struct Cng {
    decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
    decltype(&BCryptCreateHash) create = nullptr;
    decltype(&BCryptHashData) hash = nullptr;
    decltype(&BCryptFinishHash) finish = nullptr;
    decltype(&BCryptDestroyHash) destroy = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) close = nullptr;

    bool Bind() {
        static LazyLibrary library("bcrypt.dll", LazyLibrary::Folder::System);
        return library.Bind(open, "BCryptOpenAlgorithmProvider") && library.Bind(create, "BCryptCreateHash") &&
               library.Bind(hash, "BCryptHashData") && library.Bind(finish, "BCryptFinishHash") &&
               library.Bind(destroy, "BCryptDestroyHash") && library.Bind(close, "BCryptCloseAlgorithmProvider");
    }
};

std::string Hex(const unsigned char* bytes, size_t size) {
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        hex += pair;
    }
    return hex;
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    static Cng cng;
    if (!cng.Bind()) return {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(cng.open(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return {};
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32];
    bool done = BCRYPT_SUCCESS(cng.create(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    // The data goes in pieces of at most 1 GiB: a call takes a 32-bit length.
    for (size_t at = 0; done && at < bytes.size(); at += 1u << 30) {
        const ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size() - at, 1u << 30));
        done = BCRYPT_SUCCESS(cng.hash(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data() + at)), piece, 0));
    }
    done = done && BCRYPT_SUCCESS(cng.finish(hash, digest, sizeof digest, 0));
    if (hash) cng.destroy(hash);
    cng.close(algorithm, 0);
    return done ? Hex(digest, sizeof digest) : std::string();
}

}  // namespace qv
