#include "setup/dialogs/dialog_texts.h"

#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {

std::string AboutText(const std::string& appTitle, const ReleaseParts& release, const std::string& copyright) {
    return appTitle + " " + release.major + "." + release.minor + "  Build " + release.sub + "\r\r" + copyright +
           "\r\r";
}

std::string DriveErrorText(const Session& session, const std::string& drive, const std::string& description) {
    return Res(session, Str::Drive) + " " + drive + "  " + description;
}

int LanguageToApply(int selectedIndex, int entryCount) {
    if (entryCount <= 0) return 0;
    if (selectedIndex < 0 || selectedIndex >= entryCount) return 0;
    return selectedIndex;
}

std::string HelpFilePath(const Session& session) {
    std::string dir = session.SourceDir;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return dir + "\\qvinseng.hlp";
}

}  // namespace qv
