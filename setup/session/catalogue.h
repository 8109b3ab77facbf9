// The product catalogue: every immediate subdirectory of the source directory that
// holds a "QVSETUP.SKU" describing a product becomes one record of Products.
#pragma once

#include <cstdio>
#include <string>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

inline constexpr const char* kCatalogueName = "QVSETUP.SKU";

// Reads one key of an open catalogue file: starts again at the first line every time and
// returns the trimmed value of the first line whose key matches without regard to case;
// empty when none does. A read error is reported ("ReadLine Error : ") and gives empty text.
std::string GetKeyValue(std::FILE* file, const std::string& key, UserPort& port);

// The text with every "," removed: "1,234,567" gives "1234567".
std::string StripCommas(const std::string& text);

// Reads productDir + "QVSETUP.SKU" (productDir ends with "\") and appends the product to
// session.Products when the file describes one. Errors are reported in a "ReadSKU" box.
void ReadSKU(Session& session, UserPort& port, const std::string& productDir);

// Finds and reads every catalogue entry one level below sourceDir, which ends with "\"
// afterwards. Starts from an empty catalogue.
void ScanSource(Session& session, UserPort& port, std::string& sourceDir);

// Adds one accepted product to the scan counters and shows them.
void AddScanBytes(Session& session, UserPort& port, double bytes);

// The product list's text for a product: name, two blanks, release.
std::string ProductListItemText(const ProductRec& product);

}  // namespace qv
