#include "setup/session/res_strings.h"

namespace qv {

std::string Res(const Session& session, Str id) {
    const int full = session.LangOffset + static_cast<int>(id);
    if (full < 0 || full > 32767) return {};
    return LoadResString(full);
}

}  // namespace qv
