#include "setup/session/path.h"

#include <algorithm>
#include <cctype>

#include "setup/session/text_util.h"

namespace qv {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveRoot(std::string_view root) {
    return root.size() == 2 && root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0]));
}

// The names of `rest`, separated by either slash, in order (empty ones and "." left out).
std::vector<std::string_view> SplitNames(std::string_view rest) {
    std::vector<std::string_view> names;
    size_t begin = 0;
    while (begin <= rest.size()) {
        size_t end = begin;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        const std::string_view name = rest.substr(begin, end - begin);
        if (!name.empty() && name != ".") names.push_back(name);
        begin = end + 1;
    }
    return names;
}

// One name as the file system keeps it: without the trailing dots and blanks that Windows
// drops. False, with why, for a name no file can have.
bool TakeName(std::string_view given, std::string& name, std::string& why) {
    const size_t end = given.find_last_not_of(". ");
    if (end == std::string_view::npos) {
        why = "the name \"" + std::string(given) + "\" is made of dots and blanks";
        return false;
    }
    name.assign(given.substr(0, end + 1));
    for (char c : name) {
        if (c == ':') {
            why = "\"" + name + "\" names a stream";
            return false;
        }
        if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
            why = "\"" + name + "\" holds a character that a file name cannot hold";
            return false;
        }
    }
    if (IsDeviceName(name)) {
        why = "\"" + name + "\" names a device";
        return false;
    }
    return true;
}

#ifndef _WIN32
// A folder of the build machine, as the native file layer takes it: absolute and plain.
bool IsPlainNativeRoot(std::string_view root) {
    if (root.empty() || root[0] != '/') return false;
    for (size_t at = 1; at <= root.size();) {
        const size_t end = std::min(root.find('/', at), root.size());
        const std::string_view part = root.substr(at, end - at);
        if ((part.empty() && end != root.size()) || part == "." || part == "..") return false;
        at = end + 1;
    }
    return true;
}
#endif

size_t FindSeparator(std::string_view text, size_t from) {
    while (from < text.size() && !IsSeparator(text[from])) ++from;
    return from;
}

// The root of a share, "\\server\share", from the text after its two leading slashes;
// `used` tells how much of that text it took.
bool TakeShare(std::string_view text, std::string& root, size_t& used, std::string& why) {
    const size_t serverEnd = FindSeparator(text, 0);
    const size_t shareEnd = FindSeparator(text, std::min(serverEnd + 1, text.size()));
    std::string server, share;
    if (serverEnd == 0 || serverEnd >= text.size() || shareEnd == serverEnd + 1) {
        why = "it names no share";
        return false;
    }
    if (!TakeName(text.substr(0, serverEnd), server, why) ||
        !TakeName(text.substr(serverEnd + 1, shareEnd - serverEnd - 1), share, why))
        return false;
    root = "\\\\" + server + "\\" + share;
    used = shareEnd;
    return true;
}

}  // namespace

Path::Path(std::string root, const std::vector<std::string>& names) : text_(std::move(root)) {
    rootSize_ = text_.size();
    names_ = names.size();
    if (names.empty() && IsDriveRoot(text_)) text_ += '\\';
    for (const std::string& name : names) text_ += '\\' + name;
    key_ = UpperAscii(text_);
}

std::optional<Path> Path::Parse(std::string_view text, const Path* base, PathForms forms) {
    std::string why;
    return Parse(text, why, base, forms);
}

bool Path::TakeRoot(std::string_view text, const Path* base, PathForms forms, std::string& root,
                    std::vector<std::string>& names, std::string_view& rest, std::string& why) {
    auto needsBase = [&]() {
        if (!base || base->empty()) why = "it is not a full path";
        return base && !base->empty();
    };
#ifndef _WIN32
    if (text[0] == '/') {
        const size_t end = std::min(text.find('\\'), text.size());
        std::string_view native = text.substr(0, end);
        while (native.size() > 1 && native.back() == '/') native.remove_suffix(1);
        if (!IsPlainNativeRoot(native)) {
            why = "it is not a plain folder of this machine";
            return false;
        }
        root.assign(native);
        rest = text.substr(end);
    } else
#endif
    if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
        if (text.size() >= 3 && (text[2] == '?' || text[2] == '.') && (text.size() == 3 || IsSeparator(text[3]))) {
            why = "it is a device or long-path form";
            return false;
        }
        if (!forms.share) {
            why = "it is a network path";
            return false;
        }
        size_t used = 0;
        if (!TakeShare(text.substr(2), root, used, why)) return false;
        rest = text.substr(2 + used);
    } else if (IsDriveRoot(text.substr(0, 2))) {
        root.assign(text.substr(0, 2));
        rest = text.substr(2);
        if (rest.empty() || !IsSeparator(rest[0])) {
            // Drive-relative: against the base where it is on that drive, else the drive's root.
            if (!needsBase()) return false;
            if (EqualsNoCase(base->text_.substr(0, 2), root))
                for (std::string_view name : base->Names()) names.emplace_back(name);
        }
    } else {
        if (!needsBase()) return false;
        root = base->text_.substr(0, base->rootSize_);
        if (!IsSeparator(text[0]))
            for (std::string_view name : base->Names()) names.emplace_back(name);
        rest = text;
    }
    return true;
}

std::optional<Path> Path::Parse(std::string_view text, std::string& why, const Path* base, PathForms forms) {
    why.clear();
    if (text.empty()) {
        why = "it is empty";
        return std::nullopt;
    }
    if (std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        why = "it holds a control character";
        return std::nullopt;
    }
    std::string root;
    std::vector<std::string> names;
    std::string_view rest;
    if (!TakeRoot(text, base, forms, root, names, rest, why)) return std::nullopt;
    for (std::string_view given : SplitNames(rest)) {
        if (given == "..") {
            if (!names.empty()) names.pop_back();
            continue;
        }
        std::string name;
        if (!TakeName(given, name, why)) return std::nullopt;
        names.push_back(std::move(name));
    }
    return Path(std::move(root), names);
}

std::optional<Path> Path::Join(std::string_view relative) const {
    std::string why;
    return Join(relative, why);
}

std::optional<Path> Path::Join(std::string_view relative, std::string& why) const {
    why.clear();
    if (empty()) {
        why = "there is no folder to join it to";
        return std::nullopt;
    }
    if (relative.empty() || IsSeparator(relative[0])) {
        why = "it is not a relative path";
        return std::nullopt;
    }
    if (std::any_of(relative.begin(), relative.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        why = "it holds a control character";
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (std::string_view name : Names()) names.emplace_back(name);
    const std::vector<std::string_view> given = SplitNames(relative);
    if (given.empty()) {
        why = "it names no file";
        return std::nullopt;
    }
    // A "." is passed over by SplitNames; a relative path may not hold one either.
    for (size_t at = 0; (at = relative.find('.', at)) != std::string_view::npos; ++at)
        if ((at == 0 || IsSeparator(relative[at - 1])) && (at + 1 == relative.size() || IsSeparator(relative[at + 1]))) {
            why = "it holds a \".\"";
            return std::nullopt;
        }
    for (std::string_view part : given) {
        std::string name;
        if (part == "..") {
            why = "it climbs out of its folder";
            return std::nullopt;
        }
        if (!TakeName(part, name, why)) return std::nullopt;
        names.push_back(std::move(name));
    }
    return Path(text_.substr(0, rootSize_), names);
}

std::string Path::Slashed() const {
    if (empty() || text_.back() == '\\') return text_;
    return text_ + '\\';
}

std::string Path::Unslashed() const {
    if (!empty() && text_.back() == '\\') return text_.substr(0, text_.size() - 1);
    return text_;
}

bool Path::IsNativeFolder() const {
#ifndef _WIN32
    return names_ == 0 && text_.size() > 1 && text_[0] == '/';
#else
    return false;
#endif
}

Path Path::Parent() const {
    if (IsNativeFolder()) return *Parse(text_.substr(0, std::max<size_t>(text_.rfind('/'), 1)));
    if (names_ == 0) return *this;
    Path parent;
    const size_t cut = text_.rfind('\\');
    parent.rootSize_ = rootSize_;
    parent.names_ = names_ - 1;
    const size_t keep = parent.names_ == 0 && IsDriveRoot(text_.substr(0, rootSize_)) ? rootSize_ + 1 : cut;
    parent.text_ = text_.substr(0, keep);
    parent.key_ = key_.substr(0, keep);
    return parent;
}

std::string_view Path::Name() const {
    if (IsNativeFolder()) return std::string_view(text_).substr(text_.rfind('/') + 1);
    if (names_ == 0) return {};
    return std::string_view(text_).substr(text_.rfind('\\') + 1);
}

Path Path::WithSuffix(std::string_view suffix) const {
    if (IsNativeFolder()) return Parse(text_ + std::string(suffix)).value_or(Path());
    if (names_ == 0) return {};
    return Parent().Join(std::string(Name()) + std::string(suffix)).value_or(Path());
}

std::vector<std::string_view> Path::Names() const {
    std::vector<std::string_view> names;
    if (names_ == 0) return names;
    std::string_view rest = std::string_view(text_).substr(rootSize_ + 1);
    for (size_t at = 0; at <= rest.size();) {
        const size_t end = std::min(rest.find('\\', at), rest.size());
        names.push_back(rest.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

bool Path::IsWithin(const Path& root) const {
    if (empty() || root.empty()) return false;
    const std::string& prefix = root.key_;
    if (key_.size() == prefix.size()) return key_ == prefix;
    // Natively a folder of the machine lies within another by its "/".
    const char next = key_.size() > prefix.size() ? key_[prefix.size()] : '\0';
    return key_.compare(0, prefix.size(), prefix) == 0 &&
           (prefix.back() == '\\' || prefix.back() == '/' || next == '\\' || (next == '/' && prefix.size() < rootSize_));
}

std::string_view Path::RelativeTo(const Path& root) const {
    if (!IsWithin(root) || key_.size() == root.key_.size()) return {};
    const size_t skip = root.key_.size() + (root.key_.back() == '\\' || root.key_.back() == '/' ? 0 : 1);
    return std::string_view(text_).substr(skip);
}

bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    // A digit, or a superscript one, two or three (in UTF-8 and in Windows-1252).
    const std::string_view number = std::string_view(base).substr(3);
    return (number.size() == 1 && ((number[0] >= '0' && number[0] <= '9') || number == "\xB9" || number == "\xB2" ||
                                   number == "\xB3")) ||
           number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace qv
