// Native builds have no resources: the English table is compiled in.
#include <map>

#include "setup/session/res_strings.h"

namespace qv {

std::string LoadResString(int id) {
    static const std::map<int, std::string> table = {
#define QV_STRING(id, name, text) {id, text},
#include "setup/resources/strings.def"
#undef QV_STRING
    };
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

}  // namespace qv
