// Native builds have no resources: the English and German tables are compiled in.
#include <map>

#include "setup/session/res_strings.h"

namespace qv {

std::string LoadResString(int id) {
    static const std::map<int, std::string> table = {
#define QV_STRING(id, name, text) {id, text},
#include "setup/resources/strings.def"
#undef QV_STRING
#define QV_STRING_DEU(id, text) {1000 + id, text},
#include "setup/resources/strings_deu.def"
#undef QV_STRING_DEU
    };
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

}  // namespace qv
