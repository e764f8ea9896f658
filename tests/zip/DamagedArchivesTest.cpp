// Small real archives cut short at every length and with every byte flipped: each damaged
// copy ends in the complete, correct result or in a clear error (an exception of the
// engine, or a reported bad CRC or skipped entry for each entry missing), never in success
// with fewer entries or other bytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "ReadTestSupport.h"

namespace {

using ziptest::MemoryUnZipper;
using ziptest::Text;

const std::string kTestdata = std::string(TARVIK_SHARED_DIR) + "/testdata";

struct Result {
    bool error = false;  // an exception of the engine
    Integer listed = 0;
    Integer extracted = 0;
    int reported = 0;  // bad CRCs and skipped entries
    std::vector<std::string> written;
    String comment;
};

Result Open(const std::vector<Byte>& bytes, bool readComment) {
    Result r;
    MemoryUnZipper z;
    z.files["A:\\a.zip"] = bytes;
    z.SetZipName("A:\\a.zip");
    z.SetDestDir("C:\\out");
    z.DoAll = true;
    z.DoProcessMessages = false;
    z.OverwriteMode = TUZOverwriteMode::Always;
    z.OnBadCRC = [&](TObject*, Integer, Integer, Integer) { ++r.reported; };
    z.OnSkippingFile = [&](TObject*, TSkipReason, Integer) { ++r.reported; };
    z.OnEndUnZip = [&](TObject*, Integer, const String& name) { r.written.push_back(Text(z.outputs.at(name).bytes)); };
    try {
        z.ReadZip();
        r.listed = z.Count();
        r.extracted = z.UnZip();
        if (readComment) r.comment = z.ZipComment();
    } catch (const Exception&) {
        r.error = true;
    }
    std::sort(r.written.begin(), r.written.end());
    return r;
}

// Empty when the damaged copy's result is acceptable, else what is wrong with it.
std::string Judge(const Result& intact, const Result& r, bool readComment) {
    if (r.error) return "";
    if (r.listed != intact.listed) return "listed " + std::to_string(r.listed) + " of " + std::to_string(intact.listed);
    if (readComment && r.comment != intact.comment) return "archive comment differs";
    if (r.extracted >= intact.extracted)
        return r.written == intact.written ? "" : "extracted other bytes with success";
    if (r.reported < intact.extracted - r.extracted) return "entries missing without a report";
    for (const auto& w : r.written)
        if (!std::binary_search(intact.written.begin(), intact.written.end(), w)) return "extracted other bytes";
    return "";
}

struct Source {
    const char* name;
    const char* python;    // writes the archive into buf, or
    const char* testdata;  // a shared archive, read in place
};

class DamagedArchives : public ::testing::TestWithParam<Source> {};

TEST_P(DamagedArchives, EndCompleteOrInAClearError) {
    const Source& s = GetParam();
    const std::vector<Byte> bytes =
        s.python ? ziptest::PythonZip(s.python) : ziptest::ReadHostFile(kTestdata + "/" + s.testdata);
    if (bytes.empty()) GTEST_SKIP() << "no test data";
    const Result intact = Open(bytes, true);
    ASSERT_FALSE(intact.error);
    ASSERT_EQ(intact.extracted, intact.listed);
    int failures = 0;
    for (size_t cut = 0; cut < bytes.size() && failures < 5; ++cut) {
        const std::vector<Byte> shorter(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        const std::string why = Judge(intact, Open(shorter, true), true);
        if (!why.empty()) ++failures;
        EXPECT_EQ(why, "") << "cut to " << cut << " bytes";
    }
    for (size_t at = 0; at < bytes.size() && failures < 5; ++at) {
        for (Byte mask : {Byte{0xFF}, Byte{0x01}}) {
            std::vector<Byte> flipped = bytes;
            flipped[at] ^= mask;
            // A flipped comment byte is a different comment, which no field could tell.
            const std::string why = Judge(intact, Open(flipped, false), false);
            if (!why.empty()) ++failures;
            EXPECT_EQ(why, "") << "byte " << at << " xor " << int(mask);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, DamagedArchives,
    ::testing::Values(
        // Three entries: a count with its lowest bit flipped says two.
        Source{"StoredDeflatedAndComments",
               "with zipfile.ZipFile(buf,'w') as z:\n"
               "  z.comment=b'archive note'\n"
               "  i=zipfile.ZipInfo('a.txt'); i.comment=b'first'; z.writestr(i,'stored '*6)\n"
               "  z.writestr('d.txt','deflated text '*12,compress_type=zipfile.ZIP_DEFLATED)\n"
               "  z.writestr('e.txt','')\n",
               nullptr},
        Source{"InfoZipDeflated", nullptr, "deflate/ccomp-bla.zip"},
        Source{"GoDescriptorsWithoutSignature", nullptr, "data-descriptor/go-go-no-datadesc-sig.zip"},
        Source{"UnixExtrasAndComment", nullptr, "comments/libarchive-zip_comment_stored_1.zip"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
