#include <gtest/gtest.h>

#include "ReadTestSupport.h"
#include "tests/common/TestProfile.h"
#include "platform/Dialogs.h"
#include "platform/Windows.h"
#include "zip/ZipConstants.h"

namespace {

using ziptest::MemoryUnZipper;
using ziptest::PythonZip;
using ziptest::Text;

// A fixture whose archive "A:\a.zip" is made by Python's zipfile.
class UnZipperTest : public ::testing::Test {
protected:
    void Load(const std::string& python) {
        z.files["A:\\a.zip"] = PythonZip(python);
        ASSERT_FALSE(z.files["A:\\a.zip"].empty());
        z.SetZipName("A:\\a.zip");
        z.SetDestDir("C:\\out");
        z.OverwriteMode = TUZOverwriteMode::Always;
    }
    std::string Out(const std::string& name) { return Text(z.outputs.at(name).bytes); }
    MemoryUnZipper z;
};

const char* kThree =
    "with zipfile.ZipFile(buf,'w') as z:\n"
    "  z.writestr('B.TXT','bee')\n"
    "  z.writestr('sub/a.txt','alpha',compress_type=zipfile.ZIP_DEFLATED)\n"
    "  z.writestr('sub/','')\n";

TEST_F(UnZipperTest, PropertiesKeepTheirRules) {
    z.SetDestDir("C:\\x\\");
    EXPECT_EQ(z.DestDir(), "C:\\x");
    z.SetRootDir("data");
    EXPECT_EQ(z.RootDir(), "data\\");
    z.SetRootDir("");
    EXPECT_EQ(z.RootDir(), "");
    z.SetThisVersion(5);
    EXPECT_EQ(z.ThisVersion(), 203);
}

TEST_F(UnZipperTest, IndexedPropertiesFollowTheSortedView) {
    Load(kThree);
    z.ReadZip();
    ASSERT_EQ(z.Count(), 3);
    EXPECT_EQ(z.Filename(0), "B.TXT");
    z.Sort(TZipSortMode::ByName);
    EXPECT_EQ(z.FullName(0), "B.TXT");
    EXPECT_EQ(z.FullName(1), "sub\\");
    EXPECT_EQ(z.Pathname(2), "sub\\");
    EXPECT_EQ(z.Filename(2), "a.txt");
    z.Sort(TZipSortMode::ByNone);
    EXPECT_EQ(z.FullName(1), "sub\\a.txt");
    for (Integer bad : {-1, 3}) {
        try {
            z.Filename(bad);
            FAIL();
        } catch (const EListError& e) {
            EXPECT_EQ(std::string(e.what()), "Index " + std::to_string(bad) + " is out of range");
        }
    }
}

TEST_F(UnZipperTest, SameNameInOtherCaseKeepsTheDirectory) {
    Load(kThree);
    z.ReadZip();
    int opens = z.opens;
    z.SetZipName("a:\\A.ZIP");
    EXPECT_EQ(z.Count(), 3);
    z.SetZipName("A:\\other.zip");
    EXPECT_EQ(z.Count(), 0);
    EXPECT_EQ(z.opens, opens);
}

TEST_F(UnZipperTest, CommentsLoadLazilyAndOnlyChangesMarkModified) {
    Load("with zipfile.ZipFile(buf,'w') as z:\n"
         "  z.comment=b'archive note'\n"
         "  i=zipfile.ZipInfo('x.txt'); i.comment=b'entry note'\n"
         "  z.writestr(i,'x')\n");
    z.ReadZip();
    EXPECT_EQ(z.ZipComment(), "archive note");
    EXPECT_EQ(z.FileComment(0), "entry note");
    z.SetZipComment("archive note");
    z.SetFileComment(0, "entry note");
    ASSERT_NO_THROW(z.ReadZip());
    z.SetZipComment("changed");
    EXPECT_EQ(z.ZipComment(), "changed");
}

TEST_F(UnZipperTest, ExtractsIntoStoredFoldersOnlyWithRecreateDirs) {
    Load(kThree);
    z.DoAll = true;
    EXPECT_EQ(z.UnZip(), 2);  // the folder entry is not selected without RecreateDirs
    EXPECT_EQ(Out("C:\\out\\B.TXT"), "bee");
    EXPECT_EQ(Out("C:\\out\\a.txt"), "alpha");
    z.outputs.clear();
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 3);
    EXPECT_EQ(Out("C:\\out\\sub\\a.txt"), "alpha");
    EXPECT_TRUE(z.folders.count("C:\\out\\sub"));
}

struct SelectCase {
    const char* name;
    std::vector<std::string> patterns;
    int expected;
};

class Selection : public UnZipperTest, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(Selection, PatternsPickEntries) {
    Load(kThree);
    for (const auto& p : GetParam().patterns) z.FilesList.Add(p);
    int infoCount = -1;
    z.OnStartUnZipInfo = [&](TObject*, Integer n, Int64, bool&) { infoCount = n; };
    EXPECT_EQ(z.UnZip(), GetParam().expected);
    EXPECT_EQ(infoCount, GetParam().expected);
    EXPECT_EQ(static_cast<int>(z.outputs.size()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Selection,
                         ::testing::Values(SelectCase{"Nothing", {}, 0}, SelectCase{"BareNameAnyFolder", {"A.TXT"}, 1},
                                           SelectCase{"StarTxt", {"*.txt"}, 2},
                                           SelectCase{"WithFolder", {"SUB\\*"}, 1},
                                           SelectCase{"FolderMismatch", {"other\\a.txt"}, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnZipperTest, StopNowEndsBeforeAnyFile) {
    Load(kThree);
    z.DoAll = true;
    z.OnStartUnZipInfo = [](TObject*, Integer, Int64, bool& stop) { stop = true; };
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_TRUE(z.outputs.empty());
}

struct PathCase {
    const char* name;
    const char* stored;
    const char* expected;
};

class StoredPaths : public UnZipperTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(StoredPaths, NeverLeaveTheDestination) {
    // The name is patched into the records after writing, so any bytes can be stored.
    std::string stored = GetParam().stored;
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('" + std::string(stored.size(), 'N') + "','data')\n"
         "b=buf.getvalue().replace(b'" + std::string(stored.size(), 'N') + "', bytes.fromhex('" +
         [&] {
             std::string hex;
             char h[3];
             for (unsigned char c : stored) {
                 std::snprintf(h, sizeof h, "%02x", c);
                 hex += h;
             }
             return hex;
         }() +
         "'))\nbuf=io.BytesIO(b)\n");
    z.DoAll = true;
    z.RecreateDirs = true;
    EXPECT_EQ(z.UnZip(), 1);
    ASSERT_EQ(z.outputs.size(), 1u);
    EXPECT_EQ(z.outputs.begin()->first, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredPaths,
                         ::testing::Values(PathCase{"DotDot", "../../evil.txt", "C:\\out\\evil.txt"},
                                           PathCase{"Inner", "a/../b/f.txt", "C:\\out\\a\\b\\f.txt"},
                                           PathCase{"Rooted", "/etc/f.txt", "C:\\out\\etc\\f.txt"},
                                           PathCase{"Drive", "C:/win/f.txt", "C:\\out\\win\\f.txt"},
                                           PathCase{"ColonInside", "a:b/f.txt", "C:\\out\\b\\f.txt"},
                                           PathCase{"ColonStep", "x/a:b/f.txt", "C:\\out\\x\\a_b\\f.txt"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnZipperTest, EmptyDestinationIsTheCurrentFolder) {
    Load(kThree);
    z.SetDestDir("");
    z.current = "D:\\here";
    z.DoAll = true;
    z.UnZip();
    EXPECT_TRUE(z.outputs.count("D:\\here\\B.TXT"));
    EXPECT_EQ(z.current, "D:\\here");
}

TEST_F(UnZipperTest, CurrentFolderIsRestoredAfterARun) {
    Load(kThree);
    z.current = "C:\\start";
    z.DoAll = true;
    std::string during;
    z.OnEndUnZip = [&](TObject*, Integer, const String&) { during = z.current; };
    z.UnZip();
    EXPECT_EQ(during, "C:\\out");
    EXPECT_EQ(z.current, "C:\\start");
}

TEST_F(UnZipperTest, BadCrcKeepsTheExistingFileAndLeavesNoTemporary) {
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('f.txt','good data')\n"
         "b=bytearray(buf.getvalue()); i=b.find(b'good data'); b[i]=ord('G'); buf=io.BytesIO(bytes(b))\n");
    z.outputs["C:\\out\\f.txt"].bytes = {'o', 'l', 'd'};
    z.DoAll = true;
    int badCrc = 0;
    z.OnBadCRC = [&](TObject*, Integer calc, Integer stored, Integer) {
        ++badCrc;
        EXPECT_NE(calc, stored);
    };
    EXPECT_EQ(z.UnZip(), 0);
    EXPECT_EQ(badCrc, 1);
    EXPECT_EQ(Out("C:\\out\\f.txt"), "old");
    EXPECT_TRUE(z.temps.empty());
}

TEST_F(UnZipperTest, NeverOverwriteSkipsWithFileExists) {
    Load(kThree);
    z.outputs["C:\\out\\B.TXT"].bytes = {'o'};
    z.OverwriteMode = TUZOverwriteMode::Never;
    z.FilesList.Add("b.txt");
    std::vector<TSkipReason> reasons;
    z.OnSkippingFile = [&](TObject*, TSkipReason r, Integer) { reasons.push_back(r); };
    EXPECT_EQ(z.UnZip(), 0);
    EXPECT_EQ(Out("C:\\out\\B.TXT"), "o");
    EXPECT_EQ(reasons, std::vector<TSkipReason>{TSkipReason::skFileExists});
}

TEST_F(UnZipperTest, PromptHandlerMayRenameTheOutput) {
    Load(kThree);
    z.outputs["C:\\out\\B.TXT"].bytes = {'o'};
    z.OverwriteMode = TUZOverwriteMode::Prompt;
    z.FilesList.Add("b.txt");
    z.OnPromptForOverwrite = [](TObject*, bool& ok, Integer, String& name) {
        ok = true;
        name = "C:\\out\\B2.TXT";
    };
    EXPECT_EQ(z.UnZip(), 1);
    EXPECT_EQ(Out("C:\\out\\B.TXT"), "o");
    EXPECT_EQ(Out("C:\\out\\B2.TXT"), "bee");
}

TEST_F(UnZipperTest, StartUnZipSkipLeavesNothingButStaysCounted) {
    Load(kThree);
    z.DoAll = true;
    z.OnStartUnZip = [](TObject*, Integer, const String&, bool& skip) { skip = true; };
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_TRUE(z.outputs.empty());
    EXPECT_TRUE(z.temps.empty());
}

TEST_F(UnZipperTest, ProgressReachesOneHundred) {
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('big.bin', bytes(range(256))*200, compress_type=zipfile.ZIP_DEFLATED)\n"
         "  z.writestr('empty.bin','')\n");
    z.DoAll = true;
    std::vector<Integer> file, total;
    z.OnFilePercentDone = [&](TObject*, Integer p) { file.push_back(p); };
    z.OnTotalPercentDone = [&](TObject*, Integer p) { total.push_back(p); };
    EXPECT_EQ(z.UnZip(), 2);
    ASSERT_EQ(file.size(), 4u);  // 51200 bytes in blocks of 16000; the empty file fires none
    EXPECT_EQ(file.back(), 100);
    EXPECT_EQ(total.back(), 100);
    EXPECT_EQ(total[0], 31);
}

TEST_F(UnZipperTest, ShortStoredDataIsPrematureEnd) {
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('f.txt','0123456789'*10)\n"
         "b=buf.getvalue(); i=b.find(b'0123'); buf=io.BytesIO(b[:i+20])\n");
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    z.DoAll = true;
    try {
        z.UnZip();
        FAIL();
    } catch (const EFatalUnzipError& e) {
        EXPECT_STREQ(e.what(), "Premature end of file reached");
    }
    EXPECT_FALSE(z.Busy());
    EXPECT_TRUE(z.temps.empty());
    EXPECT_TRUE(z.outputs.empty());
}

TEST_F(UnZipperTest, CallsWhileBusyAreRefused) {
    Load(kThree);
    z.DoAll = true;
    int refused = 0;
    z.OnStartUnZip = [&](TObject* senderObject, Integer, const String&, bool&) {
        auto* sender = dynamic_cast<TUnZipper*>(senderObject);
        ASSERT_EQ(sender, &z);
        EXPECT_TRUE(sender->Busy());
        for (auto call : std::vector<std::function<void()>>{
                 [&] { sender->ReadZip(); }, [&] { sender->UnZip(); }, [&] { sender->ClearZip(); },
                 [&] { sender->SetZipName("A:\\b.zip"); }, [&] { sender->ZipSize(); },
                 [&] { sender->Sort(TZipSortMode::ByName); }, [&] { sender->OpenZip(); },
                 [&] { sender->CloseZip(); }}) {
            try {
                call();
            } catch (const EZipBusy&) {
                ++refused;
            }
        }
    };
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_EQ(refused, 16);
    EXPECT_EQ(z.outputs.size(), 2u);
}

TEST_F(UnZipperTest, MissingCentralDirectoryIsRebuiltFromLocalHeaders) {
    // The end record points to a place without a central record, and its size does not lead
    // to the directory either.
    Load("with zipfile.ZipFile(buf,'w') as z:\n"
         "  i=zipfile.ZipInfo('one.txt'); i.comment=b'c1'; z.writestr(i,'1')\n"
         "  z.writestr('two.txt','22')\n"
         "b=bytearray(buf.getvalue()); e=b.rfind(b'PK\\x05\\x06'); b[e+16:e+20]=(3).to_bytes(4,'little')\n"
         "b[e+12]+=1; buf=io.BytesIO(bytes(b))\n");
    z.ReadZip();
    ASSERT_EQ(z.Count(), 2);
    EXPECT_EQ(z.Filename(0), "one.txt");
    EXPECT_EQ(z.FileComment(0), "c1");  // taken from the central record behind the data
    z.DoAll = true;
    EXPECT_EQ(z.UnZip(), 2);
    EXPECT_EQ(Out("C:\\out\\two.txt"), "22");
}

TEST_F(UnZipperTest, NoEndRecordFollowsIncompleteMode) {
    std::vector<Byte> junk(300, 'x');
    z.files["A:\\a.zip"] = junk;
    z.SetZipName("A:\\a.zip");
    EXPECT_THROW(z.ReadZip(), EIncompleteZip);
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    EXPECT_NO_THROW(z.ReadZip());
    EXPECT_EQ(z.Count(), 0);
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    z.OnInCompleteZip = [](TObject*, TIncompleteZipMode& mode) { mode = TIncompleteZipMode::izAssumeBad; };
    EXPECT_NO_THROW(z.ReadZip());
}

TEST_F(UnZipperTest, DuplicateAndImpossibleOffsetsAreClearErrors) {
    // Both central records point at the first local header.
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('a','1')\n  z.writestr('b','2')\n"
         "b=bytearray(buf.getvalue()); c=b.rfind(b'PK\\x01\\x02'); b[c+42:c+46]=(0).to_bytes(4,'little'); buf=io.BytesIO(bytes(b))\n");
    EXPECT_THROW(z.ReadZip(), EFatalUnzipError);
    z.ClearZip();
    Load("with zipfile.ZipFile(buf,'w') as z:\n  z.writestr('a','1')\n"
         "b=bytearray(buf.getvalue()); c=b.rfind(b'PK\\x01\\x02'); b[c+42:c+46]=(5000).to_bytes(4,'little'); buf=io.BytesIO(bytes(b))\n");
    try {
        z.ReadZip();
        FAIL();
    } catch (const EFatalUnzipError& e) {
        EXPECT_NE(std::string(e.what()).find("impossible local header offset"), std::string::npos);
    }
}

struct PasswordCase {
    const char* name;
    std::vector<std::string> answers;  // what OnBadPassword hands back, in turn
    int extracted;
    int skips;
};

class Passwords : public UnZipperTest, public ::testing::WithParamInterface<PasswordCase> {
protected:
    tarvik::test::ScopedTestProfile env;  // its scratch folder holds the peer's files
};

TEST_P(Passwords, WrongPasswordSkipsOrRetries) {
    // Python cannot encrypt; Info-ZIP's zip writes traditional encryption.
    std::string cmd = "cd '" + env.Scratch() + "' && printf 'secret text' > s.txt && zip -q -P right a.zip s.txt";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    z.files["A:\\a.zip"] = ziptest::ReadHostFile(env.Scratch("a.zip"));
    z.SetZipName("A:\\a.zip");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    z.Password = "wrong";
    size_t turn = 0;
    if (!GetParam().answers.empty())
        z.OnBadPassword = [&](TObject*, Integer, String& pw) {
            if (turn < GetParam().answers.size()) pw = GetParam().answers[turn++];
        };
    int skips = 0;
    z.OnSkippingFile = [&](TObject*, TSkipReason r, Integer) {
        EXPECT_EQ(r, TSkipReason::skBadPassword);
        ++skips;
    };
    EXPECT_EQ(z.UnZip(), GetParam().extracted);
    EXPECT_EQ(skips, GetParam().skips);
    EXPECT_EQ(z.outputs.size(), static_cast<size_t>(GetParam().extracted));
    if (GetParam().extracted) {
        EXPECT_EQ(Out("C:\\out\\s.txt"), "secret text");
    }
    EXPECT_TRUE(z.temps.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Passwords,
                         ::testing::Values(PasswordCase{"NoHandler", {}, 0, 1},
                                           PasswordCase{"SameAnswer", {"wrong"}, 0, 1},
                                           PasswordCase{"SecondTryRight", {"other", "right"}, 1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

class DialogTest : public UnZipperTest {
protected:
    void TearDown() override {
        platform::SetDialogHook({});
        platform::ClearShownDialogs();
    }
};

TEST_F(DialogTest, ZipNameQuestionMarkOpensTheFileDialog) {
    z.SetZipName("A:\\first.zip");
    String startFolder;
    platform::SetDialogHook([&](platform::DialogRequest& r) {
        EXPECT_EQ(r.caption, "Open a Zip File");
        EXPECT_EQ(r.text, "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|All Files (*.*)|*.*");
        startFolder = r.value;
        r.value = "A:\\chosen.zip";
        return IDOK;
    });
    z.SetZipName("Q:\\no such folder\\?");
    EXPECT_EQ(startFolder, "C:\\");
    EXPECT_EQ(z.ZipName(), "A:\\chosen.zip");
    platform::SetDialogHook({});  // no hook: the dialog answers Cancel
    try {
        z.SetZipName("?");
        FAIL();
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled setting zip file name.");
    }
    EXPECT_EQ(z.ZipName(), "A:\\chosen.zip");
}

TEST_F(DialogTest, DestDirQuestionMarkOpensTheFolderDialog) {
    z.SetDestDir("C:\\keep");
    try {
        z.SetDestDir("?");
        FAIL();
    } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled Set Desination Directory");
    }
    EXPECT_EQ(z.DestDir(), "C:\\keep");
    platform::SetDialogHook([](platform::DialogRequest& r) {
        r.value = "D:\\picked\\";
        return IDOK;
    });
    z.SetDestDir("?");
    EXPECT_EQ(z.DestDir(), "D:\\picked");
}

TEST_F(DialogTest, OverwriteQuestionWithoutHandlerIsAMessageBox) {
    Load(kThree);
    z.outputs["C:\\out\\B.TXT"].bytes = {'o'};
    z.OverwriteMode = TUZOverwriteMode::Prompt;
    z.FilesList.Add("b.txt");
    EXPECT_EQ(z.UnZip(), 0);  // no hook: the question answers No
    auto shown = platform::ShownDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "File Exists Alert");
    EXPECT_EQ(shown[0].text, "Replace existing file B.TXT?");
    platform::SetDialogHook([](platform::DialogRequest&) { return IDYES; });
    EXPECT_EQ(z.UnZip(), 1);
    EXPECT_EQ(Out("C:\\out\\B.TXT"), "bee");
}

}  // namespace

namespace {

// Entries whose decoder fails: the decoder's status, not a bad CRC, is what the run reports.
// The declared size ten bytes more than the data holds while the CRC is the data's own, and
// deflated data that fails at its first block (its CRC then that of nothing).
struct DecoderFailureCase {
    const char* name;
    const char* method;
    const char* patch;
    const char* reason;
};

class DecoderFailures : public UnZipperTest, public ::testing::WithParamInterface<DecoderFailureCase> {};

TEST_P(DecoderFailures, AreReportedWithTheirReason) {
    Load(std::string("with zipfile.ZipFile(buf,'w') as z:\n"
                     "  z.writestr('ok.txt','fine')\n"
                     "  z.writestr('bad.txt','hello '*100,compress_type=zipfile.") + GetParam().method + ")\n"
         "b=bytearray(buf.getvalue())\n"
         "l=b.find(b'PK\\x03\\x04',1); c=b.rfind(b'PK\\x01\\x02')\n" + GetParam().patch +
         "buf=io.BytesIO(bytes(b))\n");
    z.DoAll = true;
    int badCrc = 0;
    z.OnBadCRC = [&](TObject*, Integer, Integer, Integer) { ++badCrc; };
    try {
        z.UnZip();
        FAIL() << "a damaged entry passed";
    } catch (const EFatalUnzipError& e) {
        EXPECT_EQ(e.what(), std::string("Cannot extract \"bad.txt\": ") + GetParam().reason);
    }
    EXPECT_EQ(badCrc, 0);
    EXPECT_EQ(Out("C:\\out\\ok.txt"), "fine");
    EXPECT_EQ(z.outputs.count("C:\\out\\bad.txt"), 0u);
    EXPECT_TRUE(z.temps.empty());
}

const char* kDeclaredLonger =
    "b[l+22:l+26]=(610).to_bytes(4,'little'); b[c+24:c+28]=(610).to_bytes(4,'little')\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DecoderFailures,
    ::testing::Values(DecoderFailureCase{"StoredShort", "ZIP_STORED", kDeclaredLonger, "data shorter than its declared size"},
                      DecoderFailureCase{"DeflatedShort", "ZIP_DEFLATED", kDeclaredLonger,
                                         "data shorter than its declared size"},
                      DecoderFailureCase{"DeflatedCorrupt", "ZIP_DEFLATED", "b[l+30+7]=0xFF\n", "bad compressed data"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
