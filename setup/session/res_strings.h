// Resource strings: every caption and message is loaded by id from the program's
// string table. The id used is the session's LangOffset plus the base id.
#pragma once

#include <string>

#include "setup/resources/string_ids.h"
#include "setup/session/session.h"

namespace qv {

// The string resource with exactly this id; empty when there is none.
// Implemented by the platform: LoadStringA in Windows, the built-in table natively.
std::string LoadResString(int id);

// The string of base id `id` in the session's language; the English one where the
// language has none.
std::string Res(const Session& session, Str id);

}  // namespace qv
