#include <windows.h>

#include "setup/session/res_strings.h"

namespace qv {

std::string LoadResString(int id) {
    char buffer[1024];
    const int length = LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), buffer,
                                   static_cast<int>(sizeof buffer));
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

}  // namespace qv
