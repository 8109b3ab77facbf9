// Base ids of the installer's resource strings. The id loaded is LangOffset + base id,
// except for ReleaseText, which is always loaded as it stands.
#pragma once

namespace qv {

enum class Str : int {
#define QV_STRING(id, name, text) name = id,
#include "setup/resources/strings.def"
#undef QV_STRING
};

}  // namespace qv
