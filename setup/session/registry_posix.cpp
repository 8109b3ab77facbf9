// The registry on the build machine: keys and values in memory, for the life of the
// process, compared without case as Windows compares them.
#include <map>

#include "setup/session/registry.h"
#include <cctype>

namespace qv::reg {
namespace {

using Values = std::map<std::string, std::variant<std::string, uint32_t>>;

std::map<std::string, Values>& Keys() {
    static std::map<std::string, Values> keys;
    return keys;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Path(Root root, const std::string& key) { return std::string(RootName(root)) + "\\" + Upper(key); }

bool& Writable(Root root) {
    static bool writable[2] = {true, true};
    return writable[root == Root::LocalMachine ? 0 : 1];
}

}  // namespace

bool SetValues(Root root, const std::string& key, const std::vector<Value>& values, RunError& error) {
    if (!Writable(root)) {
        error = err::PermissionDenied();
        return false;
    }
    Values& stored = Keys()[Path(root, key)];
    for (const Value& v : values) stored[Upper(v.name)] = v.data;
    return true;
}

std::optional<std::string> ReadString(Root root, const std::string& key, const std::string& name) {
    const auto k = Keys().find(Path(root, key));
    if (k == Keys().end()) return std::nullopt;
    const auto v = k->second.find(Upper(name));
    if (v == k->second.end() || !std::holds_alternative<std::string>(v->second)) return std::nullopt;
    return std::get<std::string>(v->second);
}

bool KeyExists(Root root, const std::string& key) { return Keys().count(Path(root, key)) > 0; }

bool CanWrite(Root root, const std::string&) { return Writable(root); }

void SetWritableForTests(Root root, bool writable) { Writable(root) = writable; }

bool DeleteKey(Root root, const std::string& key, RunError&) {
    Keys().erase(Path(root, key));
    return true;
}

}  // namespace qv::reg
