#include "setup/session/res_strings.h"

namespace qv {

std::string Res(const Session& session, Str id) {
    // A text the language does not have is shown in English, never left blank.
    const int base = static_cast<int>(id);
    const int full = session.LangOffset + base;
    std::string text = full >= 0 && full <= 32767 ? LoadResString(full) : std::string();
    return text.empty() && full != base ? LoadResString(base) : text;
}

}  // namespace qv
