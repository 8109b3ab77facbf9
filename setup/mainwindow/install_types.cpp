#include "setup/mainwindow/install_types.h"

namespace qv {
namespace {

constexpr InstallType kTypes[kInstallTypeCount] = {
    {"&All Products Available", 'A', "All Products Available"},
    {"Software to &File Server", 'F', "Software to File Server"},
    {"&Software to Database Server", 'S', "Software to Database Server"},
    {"Software to &Gateway", 'G', "Software to Gateway"},
    {"Data&base to File Server", 'B', "Database to File Server"},
    {"&Database to Database Server", 'D', "Database to Database Server"},
    {"Database to Gate&way", 'W', "Database to Gateway"},
};

}  // namespace

const InstallType* FindInstallType(int index) {
    return index >= 0 && index < kInstallTypeCount ? &kTypes[index] : nullptr;
}

int RevealedInstallType(const std::string& moduleType) {
    // Every listed type but "All Products Available" is offered once the catalogue holds
    // a product of it, "Database to Gateway" included: without its entry such a product
    // could never be chosen.
    for (int i = 1; i < kInstallTypeCount; ++i)
        if (moduleType == kTypes[i].name) return i;
    return 0;
}

}  // namespace qv
