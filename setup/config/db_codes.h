// The database codes of the installed products: "dbcodes.inf" below the install directory.
#pragma once

#include <string>

#include "setup/session/path.h"
#include "setup/session/session.h"

namespace qv {

// The file the database codes go to: InstallDir + "\setup\dbcodes.inf".
Path DbCodesPath(const Session& session);

// Whether a product's database codes are written: its SoftwareType is "Application" or
// "Database" and it has a product code.
bool HasDbCodes(const ProductRec& product);

// The value written for a product: its DescrDB (its ProductName when DescrDB is empty),
// ",", QVInstallField, ",", IncludeSys as a decimal number.
std::string DbCodesValue(const ProductRec& product);

// Sets the key ProductCode of ListedProducts(index) in section "dbcodes" of
// InstallDir + "\setup\dbcodes.inf", making the directory first. A product without a
// code writes nothing; failures are passed over.
void WriteDbCodes(Session& session, int index);

}  // namespace qv
