// The catalogue reader against CDs written by the tests: key rules, sizes, platforms,
// skipped directories and the scan counters.
#include <gtest/gtest.h>

#include "setup/session/catalogue.h"
#include "setup/session/file_system.h"
#include "setup/session/platforms.h"
#include "setup/session/startup.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::RecordingPort;
using qvtest::TempTree;

class CatalogueTest : public ::testing::Test {
protected:
    TempTree tree;
    Session session;
    RecordingPort port;

    CatalogueTest() { SetDbPlatform(session, *FindDbPlatform("SBS")); }

    void Sku(const std::string& dir, const std::string& lines) { tree.write("cd\\" + dir + "\\QVSETUP.SKU", lines); }

    void Scan(const std::string& platform = "SBS") {
        SetDbPlatform(session, *FindDbPlatform(platform));
        std::string source = tree.path("cd");
        ScanSource(session, port, source);
        session.SourceDir = source;
    }

    const ProductRec* Find(const std::string& name) const {
        for (int i = 1; i <= session.ProductCount; ++i)
            if (session.Products[i].ProductName == name) return &session.Products[i];
        return nullptr;
    }
};

TEST_F(CatalogueTest, ReadsEveryFieldOfARecord) {
    Sku("tools",
        "[Product]\r\n"
        "; a comment line without an equals sign\r\n"
        "ProdNum=7\r\nSize=1,234,567\r\nENGProdName=Marrowtools\r\nProductName=Fallback\r\n"
        "Release=8.01\r\nModuleType=Software to File Server\r\nDefaultDir=c:\\qv\\tools=x\r\n"
        "InstallOrder=3\r\nProductCode=QVT\r\nCompress=0\r\nDbPlatform=ALL\r\n"
        "SoftwareType=Marrowtools\r\nToolsOpt=2\r\nSplitDB=1\r\nCommonDB=common\r\nDescrDB=Tools DB\r\n"
        "QVInstallField=QVF\r\nIncludeSys=4\r\nLaunchProg=qvcfg.exe\r\n");
    Scan();
    ASSERT_EQ(session.ProductCount, 1);
    const ProductRec& p = session.Products[1];
    EXPECT_EQ(p.ProductName, "Marrowtools");
    EXPECT_EQ(p.Size, 1234567);
    EXPECT_EQ(p.Release, "8.01");
    EXPECT_EQ(p.ModuleType, "Software to File Server");
    EXPECT_EQ(p.DefaultDir, "c:\\qv\\tools=x");  // everything after the first "="
    EXPECT_EQ(p.ProductDir, tree.path("cd\\tools\\"));
    EXPECT_EQ(p.InstallOrder, 3);
    EXPECT_EQ(p.ProductCode, "QVT");
    EXPECT_EQ(p.DbPlatform, "ALL");
    EXPECT_EQ(p.SoftwareType, "Marrowtools");
    EXPECT_EQ(p.ToolsOpt, 2);
    EXPECT_EQ(p.SplitDB, 1);
    EXPECT_EQ(p.CommonDB, "common");
    EXPECT_EQ(p.DescrDB, "Tools DB");
    EXPECT_EQ(p.QVInstallField, "QVF");
    EXPECT_EQ(p.IncludeSys, 4);
    EXPECT_EQ(p.LaunchProg, "qvcfg.exe");
    EXPECT_EQ(p.ProdNum, 7);
    EXPECT_EQ(p.Chosen, 0);
    EXPECT_EQ(p.Selected, 1);  // no Selected key
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(session.SourceDir.back(), '\\');
}

TEST_F(CatalogueTest, KeyRules) {
    Sku("a",
        "  prodnum   =   5  \r\n"                 // any case, blanks around "="
        "SIZE=100\r\nsize=999\r\n"               // the first occurrence wins
        "ProductName=  Named by fallback  \r\n"  // no ENGProdName
        "Selected=0\r\nInstallOrder=2.5\r\nCompress=1abc\r\n");
    Scan();
    ASSERT_EQ(session.ProductCount, 1);
    const ProductRec& p = session.Products[1];
    EXPECT_EQ(p.ProdNum, 5);
    EXPECT_EQ(p.Size, 100);
    EXPECT_EQ(p.ProductName, "Named by fallback");
    EXPECT_EQ(p.Selected, 0);
    EXPECT_EQ(p.InstallOrder, 2);  // halves round to even
    EXPECT_EQ(p.Compress, 1);      // the leading numeric part
}

TEST_F(CatalogueTest, LanguageCodeChoosesTheName) {
    session.Languages = {{"English", "ENG", 0}, {"Deutsch", "DEU", 0}};
    session.LangIndex = 1;
    Sku("a", "ProdNum=1\r\nSize=1\r\nENGProdName=Tools\r\nDEUProdName=Werkzeuge\r\n");
    Scan();
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].ProductName, "Werkzeuge");
}

TEST_F(CatalogueTest, BasePlusDeltaSizesFollowThePlatform) {
    Sku("bd", "ProdNum=1\r\nBaseDelta=1\r\nBSESize=1000\r\nORASize=500\r\nMSSSize=500\r\nUNXSize=200\r\n"
              "Size=99999\r\nProductName=BD\r\n");
    Scan("ORA");
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].Size, 1500);  // UNXSize has no effect on ORA

    Scan("MSS");
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].Size, 1300);

    Scan("DB4");  // no DB4Size: only the base part, less UNXSize
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].Size, 800);
}

TEST_F(CatalogueTest, UnxSizeIsSubtractedFromPlainProductsOnDb4AndMss) {
    Sku("p", "ProdNum=1\r\nSize=300\r\nUNXSize=300\r\nProductName=P\r\n");
    Scan("DB4");
    EXPECT_EQ(session.ProductCount, 0);  // nothing left: not a product
    Scan("SBS");
    EXPECT_EQ(session.ProductCount, 1);
}

TEST_F(CatalogueTest, DirectoriesThatAreNoProductsAreSkippedQuietly) {
    tree.mkdir("cd\\empty");
    Sku("zero", "ProdNum=0\r\nSize=100\r\n");
    Sku("nonum", "Size=100\r\n");
    Sku("nosize", "ProdNum=1\r\n");
    Sku("negative", "ProdNum=1\r\nSize=-5\r\n");
    Sku("good\\nested", "ProdNum=1\r\nSize=5\r\nProductName=Nested\r\n");  // one level too deep
    Sku("good", "ProdNum=1\r\nSize=5\r\nProductName=Good\r\n");
    tree.write("cd\\QVSETUP.SKU", "ProdNum=1\r\nSize=5\r\n");  // the CD root itself is no product
    Scan();
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].ProductName, "Good");
    EXPECT_TRUE(port.messages.empty());
    ASSERT_FALSE(port.scanDirectories.empty());
    EXPECT_EQ(port.scanDirectories.back(), 6);
    ASSERT_EQ(port.scanModules.size(), 1u);
    EXPECT_EQ(port.scanModules[0], std::make_pair(1, std::string("5")));
}

TEST_F(CatalogueTest, ScanCountersAddUpWithThousandsSeparators) {
    Sku("a", "ProdNum=1\r\nSize=1,000,000\r\nProductName=A\r\n");
    Sku("b", "ProdNum=1\r\nSize=234,567\r\nProductName=B\r\n");
    Scan();
    EXPECT_EQ(session.ScanModuleCount, 2);
    EXPECT_DOUBLE_EQ(session.ScanTotalBytes, 1234567);
    ASSERT_EQ(port.scanModules.size(), 2u);
    EXPECT_EQ(port.scanModules.back(), std::make_pair(2, std::string("1,234,567")));
}

TEST_F(CatalogueTest, ASizeThatIsNoNumberIsReportedAndTheScanGoesOn) {
    Sku("bad", "ProdNum=1\r\nSize=12 MB\r\nProductName=Bad\r\n");
    Sku("good", "ProdNum=1\r\nSize=10\r\nProductName=Good\r\n");
    Scan();
    ASSERT_EQ(session.ProductCount, 1);
    EXPECT_EQ(session.Products[1].ProductName, "Good");
    ASSERT_EQ(port.messages.size(), 1u);
    const Message& m = port.messages[0];
    EXPECT_EQ(m.title, "ReadSKU");
    EXPECT_EQ(m.icon, Icon::Exclamation);
    EXPECT_EQ(m.buttons, Buttons::Ok);
    EXPECT_EQ(m.text, "Size : 13\r\nType mismatch\r\n" + tree.path("cd\\bad\\QVSETUP.SKU"));
    EXPECT_EQ(session.ScanModuleCount, 1);
}

TEST_F(CatalogueTest, AnIntegerPastSixteenBitsIsReported) {
    Sku("big", "ProdNum=1\r\nSize=10\r\nInstallOrder=40000\r\n");
    Scan();
    EXPECT_EQ(session.ProductCount, 0);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text.substr(0, 17), "InstallOrder : 6\r");
}

TEST_F(CatalogueTest, TheSixtyFifthProductIsReportedAndSkipped) {
    for (int i = 1; i <= 65; ++i) {
        char dir[16];
        std::snprintf(dir, sizeof dir, "p%02d", i);
        Sku(dir, "ProdNum=1\r\nSize=1\r\nProductName=" + std::string(dir) + "\r\n");
    }
    Scan();
    EXPECT_EQ(session.ProductCount, 64);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "ReadSKU");
    EXPECT_EQ(port.messages[0].text.substr(0, 17), "ENGProdName : 9\r\n");
    EXPECT_NE(port.messages[0].text.find("Subscript out of range"), std::string::npos);
    EXPECT_EQ(session.ScanModuleCount, 64);
}

TEST_F(CatalogueTest, PrepareScansWithThePlatformAndSorts) {
    Sku("a", "ProdNum=1\r\nSize=1\r\nProductName=A\r\nInstallOrder=5\r\n");
    Sku("b", "ProdNum=1\r\nSize=1\r\nProductName=B\r\nInstallOrder=1\r\n");
    Sku("c", "ProdNum=1\r\nBaseDelta=1\r\nORASize=1\r\nProductName=C\r\nInstallOrder=3\r\n");
    session.SourceDir = tree.path("cd");
    PrepareCatalogue(session, port, "ORA");
    ASSERT_EQ(session.ProductCount, 3);
    EXPECT_EQ(session.Products[1].ProductName, "B");
    EXPECT_EQ(session.Products[2].ProductName, "C");  // sized by ORASize: read with the platform in force
    EXPECT_EQ(session.Products[3].ProductName, "A");
    EXPECT_EQ(session.DbPlatformName, "Oracle");
    EXPECT_EQ(session.ClusterSize, 16384);
    EXPECT_TRUE(session.NoCrcCheck);
    EXPECT_EQ(session.ScanModuleCount, 0);
    EXPECT_EQ(session.ScanTotalBytes, 0);
    EXPECT_EQ(session.SourceDir, tree.path("cd\\"));
}

// The C runtime of Windows reports no error for reads from a write-only stream, so the
// failure can be provoked only natively.
#ifndef _WIN32
TEST(GetKeyValueTest, AReadErrorIsReportedAndGivesEmptyText) {
    TempTree tree;
    tree.write("QVSETUP.SKU", "ProdNum=1\r\n");
    RunError ignored;
    std::FILE* writeOnly = fs::OpenFile(tree.path("QVSETUP.SKU"), "ab", ignored);  // reading it fails
    ASSERT_NE(writeOnly, nullptr);
    RecordingPort port;
    EXPECT_EQ(GetKeyValue(writeOnly, "ProdNum", port), "");
    std::fclose(writeOnly);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text.rfind("ReadLine Error : ", 0), 0u);
    EXPECT_NE(port.messages[0].text.find("\r\nKey : ProdNum"), std::string::npos);
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
}
#endif

TEST(GetKeyValueTest, RereadsFromTheFirstLineEveryTime) {
    TempTree tree;
    tree.write("QVSETUP.SKU", "B=2\nA=1\nno equals sign\nC = three = 3 \n");
    RunError ignored;
    std::FILE* file = fs::OpenFile(tree.path("QVSETUP.SKU"), "rb", ignored);
    ASSERT_NE(file, nullptr);
    RecordingPort port;
    EXPECT_EQ(GetKeyValue(file, "a", port), "1");
    EXPECT_EQ(GetKeyValue(file, "B", port), "2");
    EXPECT_EQ(GetKeyValue(file, "c", port), "three = 3");
    EXPECT_EQ(GetKeyValue(file, "no equals sign", port), "");
    std::fclose(file);
    EXPECT_TRUE(port.messages.empty());
}

TEST(SortProducts, EqualOrdersKeepTheirScanOrder) {
    Session s;
    const char* names[] = {"first", "second", "third", "fourth"};
    const int16_t orders[] = {2, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        s.Products[i + 1].ProductName = names[i];
        s.Products[i + 1].InstallOrder = orders[i];
    }
    s.Products[5].ProductName = "beyond the count";
    s.ProductCount = 4;
    SortProducts(s);
    EXPECT_EQ(s.Products[1].ProductName, "second");
    EXPECT_EQ(s.Products[2].ProductName, "fourth");
    EXPECT_EQ(s.Products[3].ProductName, "first");
    EXPECT_EQ(s.Products[4].ProductName, "third");
    EXPECT_EQ(s.Products[5].ProductName, "beyond the count");
    EXPECT_EQ(s.Products[0].ProductName, "");
}

TEST(CatalogueText, StripCommasAndListItems) {
    EXPECT_EQ(StripCommas("1,234,567"), "1234567");
    EXPECT_EQ(StripCommas(""), "");
    EXPECT_EQ(StripCommas("12"), "12");
    ProductRec p;
    p.ProductName = "Marrowtools";
    p.Release = "8.01";
    EXPECT_EQ(ProductListItemText(p), "Marrowtools  8.01");
}

}  // namespace
}  // namespace qv
