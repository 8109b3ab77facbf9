#include "setup/session/registry.h"

namespace qv::reg {

const char* RootName(Root root) { return root == Root::LocalMachine ? "HKLM" : "HKCU"; }

}  // namespace qv::reg
