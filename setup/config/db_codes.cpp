#include "setup/config/db_codes.h"

#include "setup/config/profile_edit.h"
#include "setup/session/disk_utils.h"

namespace qv {

Path DbCodesPath(const Session& session) {
    const Path root = InstallDirPath(session);
    return root.empty() ? Path() : *root.Join("setup\\dbcodes.inf");
}

bool HasDbCodes(const ProductRec& product) {
    return (product.SoftwareType == "Application" || product.SoftwareType == "Database") &&
           !product.ProductCode.empty();
}

std::string DbCodesValue(const ProductRec& product) {
    const std::string& description = product.DescrDB.empty() ? product.ProductName : product.DescrDB;
    return description + "," + product.QVInstallField + "," + std::to_string(product.IncludeSys);
}

void WriteDbCodes(Session& session, int index) {
    if (index < 0 || index > kMaxProducts) return;
    const ProductRec& product = session.ListedProducts[static_cast<size_t>(index)];
    if (product.ProductCode.empty()) return;
    const Path path = DbCodesPath(session);
    if (path.empty()) return;
    RunError ignored;  // the profile call then fails and is passed over as well
    PassOver(MakeDirPath(path.Parent(), ignored));
    bool faithful = true;  // a description of the CD's fits the legacy code page the suite reads
    WriteLegacyProfileString("dbcodes", product.ProductCode, DbCodesValue(product), path, faithful);
}

}  // namespace qv
