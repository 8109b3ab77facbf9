// The catalogue entry QVSETUP.SKU of a product folder, read as the CD scan reads it: on
// every database platform, in English and in a second language, and once more with the
// catalogue already full.
#include "setup/session/catalogue.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string productDir = qvfuzz::ScratchFolder("PROD") + "/";
    qvfuzz::WriteFile(productDir + qv::kCatalogueName, qvfuzz::Bytes(data, size));

    int language = 0;
    for (const qv::DbPlatform& platform : qv::DbPlatforms()) {
        qv::Session session;
        session.Languages = {qv::EnglishLanguage(), {"Deutsch", "DEU", 0}};
        session.LangIndex = static_cast<int16_t>(language++ % 2);
        qv::SetDbPlatform(session, platform);
        qvfuzz::AnsweringPort port;
        qv::ReadSKU(session, port, productDir);
        QV_FUZZ_CHECK(session.ProductCount <= 1);
        if (session.ProductCount == 1) {
            // An accepted product was read without a message and counts in the scan (a size
            // below half a byte counts, though it is listed as 0).
            QV_FUZZ_CHECK(port.messages == 0);
            QV_FUZZ_CHECK(session.Products[1].Size >= 0 && session.Products[1].ProdNum != 0);
            QV_FUZZ_CHECK(session.ScanModuleCount == 1 && session.ScanTotalBytes > 0);
        }
        if (platform.code == std::string_view("SBS") && session.ProductCount == 1) {
            // The 65th product is refused with a message, never stored past the table.
            session.ProductCount = qv::kMaxProducts;
            qv::ReadSKU(session, port, productDir);
            QV_FUZZ_CHECK(session.ProductCount == qv::kMaxProducts);
        }
    }
    return 0;
}
