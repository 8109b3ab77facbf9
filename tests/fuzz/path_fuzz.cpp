// The path type: any text, made full against a base, either comes out refused or as one
// canonical path that names no device, stream or control character, reads back as itself,
// and lies within what it is joined to.
#include <cctype>

#include "setup/session/path.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckCanonical(const qv::Path& path) {
    for (char c : path.str()) QV_FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    for (std::string_view name : path.Names()) {
        QV_FUZZ_CHECK(!name.empty() && name != "." && name != "..");
        QV_FUZZ_CHECK(!qv::IsDeviceName(name));
        QV_FUZZ_CHECK(name.find_first_of(":<>\"|?*") == std::string_view::npos);
        QV_FUZZ_CHECK(name.back() != '.' && name.back() != ' ');
    }
    const std::optional<qv::Path> again = qv::Path::Parse(path.str(), nullptr, qv::PathForms{true});
    QV_FUZZ_CHECK(again && again->str() == path.str());
    QV_FUZZ_CHECK(path.IsWithin(path.Parent()) && path.IsWithin(path));
}

}  // namespace

// The first line is the base, the rest the text made full against it and then joined to it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(qvfuzz::Bytes(data, size));
    const size_t newline = input.find('\n');
    const std::optional<qv::Path> base = qv::Path::Parse(input.substr(0, newline), nullptr, qv::PathForms{true});
    if (!base) return 0;
    CheckCanonical(*base);
    const std::string text = newline == std::string::npos ? std::string() : input.substr(newline + 1);
    if (const std::optional<qv::Path> full = qv::Path::Parse(text, &*base, qv::PathForms{true})) CheckCanonical(*full);
    if (const std::optional<qv::Path> joined = base->Join(text)) {
        CheckCanonical(*joined);
        QV_FUZZ_CHECK(joined->IsWithin(*base) && *joined != *base);
        QV_FUZZ_CHECK(joined->RelativeTo(*base).size() < joined->str().size());
    }
    return 0;
}
