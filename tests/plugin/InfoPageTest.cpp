#include <gtest/gtest.h>

#include "platform/FileStream.h"
#include "plugin/InfoPage.h"
#include "tests/plugin/PluginTestSupport.h"

namespace qel::test {
namespace {

const String kTemplate =
    "N=dtName|C=dtComment|D=dtDate|S=dtSize|M=dtComm|P=dtStDir|B=dtBDate|F=dtFrom|"
    "ZN=dtZipName|ZF=dtZipNName|ZP=dtZipPath|ZC=dtZipComment|ZS=dtZipSize";
const TInfoArchive kArchive{"C:\\Qel Backup\\New Qel.Zip", "made by us", 4321};

TEST(InfoPageTest, SelectedRowFillsEveryTag) {
    TInfoRow row{"book.xls", "100", "06-05-2024 10:00:00", "07-05-2024 11:12:13\\C:\\Data\\book.xls", "note"};
    EXPECT_EQ(FillInfoTemplate(kTemplate, row, kArchive),
              "N=book.xls|C=note|D=06-05-2024 10:00:00|S=100|M=note|P=07-05-2024 11:12:13\\C:\\Data\\book.xls|"
              "B=07-05-2024 11:12:13|F=C:\\Data\\book.xls|ZN=New Qel.Zip|ZF=C:\\Qel Backup\\New Qel.Zip|"
              "ZP=C:\\Qel Backup\\|ZC=made by us|ZS=4321");
}

TEST(InfoPageTest, NoRowShowsQuestionMarksAndTheArchive) {
    EXPECT_EQ(FillInfoTemplate(kTemplate, std::nullopt, kArchive),
              "N=?|C=?|D=?|S=?|M=?|P=?|B=?|F=?|ZN=New Qel.Zip|ZF=C:\\Qel Backup\\New Qel.Zip|"
              "ZP=C:\\Qel Backup\\|ZC=made by us|ZS=4321");
}

TEST(InfoPageTest, EntryWithoutFolderHasNoBackupDate) {
    TInfoRow row{"!ReadMe!.ZIP", "1", "d", "!ReadMe!.ZIP", ""};
    String page = FillInfoTemplate("[dtBDate][dtFrom]", row, kArchive);
    EXPECT_EQ(page, "[][!ReadMe!.ZIP]");
}

TEST(InfoPageTest, ValuesAreEscapedAndAValueHoldingItsOwnTagEnds) {
    TInfoRow row{"dtName<b>&.txt", "1", "d", "x\\dtName<b>&.txt", "\"q\" 'a'"};
    EXPECT_EQ(FillInfoTemplate("dtName dtComment", row, kArchive),
              "dtName&lt;b&gt;&amp;.txt &quot;q&quot; &#39;a&#39;");
}

using InfoPageFileTest = PluginTest;

TEST_F(InfoPageFileTest, MissingTemplateRaisesCannotOpen) {
    try {
        BuildInfoPage(env.Win("none.htm"), std::nullopt, kArchive);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_NE(e.Message().find("Cannot open file"), String::npos);
    }
}

TEST(ShippedInfoTemplateTest, HasEveryTag) {
    std::ifstream in(TARVIK_SOURCE_DIR "/plugin/data/Info.htm");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* tag : {"dtName", "dtComment", "dtDate", "dtSize", "dtComm", "dtStDir", "dtBDate", "dtFrom",
                            "dtZipName", "dtZipNName", "dtZipPath", "dtZipComment", "dtZipSize"})
        EXPECT_NE(text.find(String(tag) + "<"), std::string::npos) << tag;
    // Filled, for an entry and for none, the page shows no tag of its own.
    TInfoRow row{"book.xls", "100", "d", "x\\C:\\book.xls", "note"};
    for (const auto& filled : {FillInfoTemplate(text, row, kArchive), FillInfoTemplate(text, std::nullopt, kArchive)})
        EXPECT_EQ(filled.find(">dt"), String::npos) << filled;
}

}  // namespace
}  // namespace qel::test
