// The folder page: tags replaced everywhere, values escaped, replacement that always ends.
#include <gtest/gtest.h>

#include "tests/common/TestProfile.h"
#include "manager/FolderPage.h"
#include "platform/DateTime.h"
#include "platform/Exceptions.h"
#include "platform/FileStream.h"

using namespace manager;

namespace {

const TDateTime kCreated = EncodeDate(2024, 3, 1) + EncodeTime(10, 20, 30, 0);

String Fill(const String& tmpl, const String& name, const String& description) {
    return FillFolderTemplate(tmpl, name, description, kCreated, DefaultFormatSettings());
}

TEST(FolderPage, ReplacesEveryTagEverywhereWithCase) {
    EXPECT_EQ(Fill("<h1>dfName</h1><p>dfDescription</p><i>dfTD</i> dfName dfname", "Docs", "Work"),
              "<h1>Docs</h1><p>Work</p><i>01/03/2024 10:20:30</i> Docs dfname");
}

TEST(FolderPage, ValuesAreEscapedAndLineBreaksStay) {
    EXPECT_EQ(Fill("dfName|dfDescription", "<b>A & B</b>", "it's \"x\"\r\nline two"),
              "&lt;b&gt;A &amp; B&lt;/b&gt;|it&#39;s &quot;x&quot;\r\nline two");
}

TEST(FolderPage, AValueHoldingTagLettersIsShownAsItIs) {
    // Replacing inside inserted text could run forever; only the template's tags are replaced.
    EXPECT_EQ(Fill("dfName / dfDescription", "dfNamedfName", "dfTD and dfDescription"),
              "dfNamedfName / dfTD and dfDescription");
    EXPECT_EQ(Fill("", "x", "y"), "");
    EXPECT_EQ(Fill("dfNam", "x", "y"), "dfNam");
}

class FolderPageFile : public tarvik::test::ProfileTest {};

TEST_F(FolderPageFile, WritesDefaultFolderHtmlInTheTemporaryFolder) {
    env.WriteText("Templates/TemplateFolder.htm", "<p>dfName</p>");
    env.WriteText("temp/.keep", "");
    String page = BuildFolderPageFile(env.Win("Templates\\TemplateFolder.htm"), env.Win("temp") + "\\", "Docs", "",
                                      kCreated, DefaultFormatSettings());
    EXPECT_EQ(page, env.Win("temp") + "\\DefaultFolder.html");
    EXPECT_EQ(env.ReadText(env.Scratch("temp/DefaultFolder.html")), "<p>Docs</p>");
}

TEST_F(FolderPageFile, AMissingTemplateRaisesTheFileOpenError) {
    EXPECT_THROW(BuildFolderPageFile(env.Win("none.htm"), env.Win() + "\\", "x", "", 0, DefaultFormatSettings()),
                 EFOpenError);
}

}  // namespace
