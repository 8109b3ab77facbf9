// The CD's language list "qvlang.inf": records of three values, name, code and
// resource offset, written in the quoted-field form ("English","ENG",0), one per line.
#pragma once

#include <string>
#include <vector>

#include "setup/session/session.h"

namespace qv {

inline constexpr const char* kLanguageListName = "qvlang.inf";

// The values of one record line: quoted texts lose their quotes, bare values are
// trimmed. A comma inside quotes belongs to the text.
std::vector<std::string> SplitQuotedFields(const std::string& line);

// Reads the language list of the source directory. Returns false when the file cannot
// be opened; then `languages` is left empty. A short record or a non-numeric offset
// still gives an entry, with the missing values empty and the offset 0.
bool ReadLanguageList(const std::string& sourceDir, std::vector<LanguageRec>& languages);

// The entry used when the CD has no language list, or a list without records.
LanguageRec EnglishLanguage();

// The index in session.Languages of the language whose code matches `code` (case and
// surrounding blanks ignored); -1 when none does or the code is empty.
int FindLanguageByCode(const Session& session, const std::string& code);

// Makes entry `index` of session.Languages the session's language.
void ApplyLanguage(Session& session, int index);

}  // namespace qv
