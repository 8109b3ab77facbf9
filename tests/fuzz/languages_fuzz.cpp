// The CD's language list qvlang.inf: read, then the first, the last and the record found
// by the last record's code each made the session's language.
#include "setup/session/languages.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string cdDir = qvfuzz::ScratchFolder("cd");
    qvfuzz::WriteFile(cdDir + "/" + qv::kLanguageListName, qvfuzz::Bytes(data, size));

    std::vector<qv::LanguageRec> languages;
    QV_FUZZ_CHECK(qv::ReadLanguageList(cdDir, languages));
    qv::Session session;
    session.Languages = languages;
    if (languages.empty()) {
        qv::ApplyLanguage(session, 0);
        QV_FUZZ_CHECK(session.LangIndex == 0 && session.Languages.size() == 1);
        return 0;
    }
    const int last = static_cast<int>(languages.size()) - 1;
    for (const int index : {0, last, qv::FindLanguageByCode(session, languages.back().Code)}) {
        if (index < 0) continue;
        QV_FUZZ_CHECK(index <= last);
        qv::ApplyLanguage(session, index);
        // The session's language is the record chosen, whatever the length of the list.
        QV_FUZZ_CHECK(session.LangIndex == index);
        QV_FUZZ_CHECK(session.LangOffset == languages[static_cast<size_t>(index)].ResOffset);
    }
    return 0;
}
