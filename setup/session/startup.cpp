#include "setup/session/startup.h"

#include <algorithm>

#include "setup/session/catalogue.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"

namespace qv {

bool LoadLanguages(Session& session) {
    if (ReadLanguageList(session.SourceDir, session.Languages)) return true;
    session.Languages = {EnglishLanguage()};
    return false;
}

void SortProducts(Session& session) {
    auto first = session.Products.begin() + 1;
    std::stable_sort(first, first + session.ProductCount,
                     [](const ProductRec& a, const ProductRec& b) { return a.InstallOrder < b.InstallOrder; });
}

void PrepareCatalogue(Session& session, UserPort& port, const std::string& platformCode) {
    session.ClusterSize = kClusterSize;
    session.NoCrcCheck = true;
    const DbPlatform* platform = FindDbPlatform(platformCode);
    SetDbPlatform(session, platform ? *platform : *FindDbPlatform(kDefaultDbPlatform));
    session.Products = {};
    ScanSource(session, port, session.SourceDir);
    SortProducts(session);
    session.ScanModuleCount = 0;
    session.ScanTotalBytes = 0;
}

}  // namespace qv
