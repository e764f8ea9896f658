// Our method-8 data must equal Info-ZIP zip's, byte for byte, for every corpus file and level.
#include <gtest/gtest.h>

#include "tests/zip/DeflateTestSupport.h"

using namespace deflate_test;

namespace {

struct PeerCase {
    std::string file;
    int level;
};

std::vector<PeerCase> peerCases() {
    std::vector<PeerCase> cases;
    for (const auto& file : corpusFiles())
        for (int level = 1; level <= 9; ++level) cases.push_back({file, level});
    return cases;
}

class DeflatePeerTest : public ::testing::TestWithParam<PeerCase> {};

TEST_P(DeflatePeerTest, MethodEightDataEqualsZip) {
    const auto& [file, level] = GetParam();
    const auto path = corpusDir() / file;
    const Bytes input = readFile(path);
    const Compressed ours = compress(level, input);
    const auto dir = scratchDir("peer");
    const PeerEntry peer = runZip(path, level, dir);
    std::filesystem::remove_all(dir);

    ASSERT_EQ(expand(ours, input.size()), input);
    if (peer.method == 8 && ours.result.method == 8) {
        ASSERT_EQ(ours.data.size(), peer.data.size());
        const auto diff = std::mismatch(ours.data.begin(), ours.data.end(), peer.data.begin());
        EXPECT_TRUE(diff.first == ours.data.end())
            << "first difference at byte " << (diff.first - ours.data.begin());
    } else {
        // The peer stores an entry that does not shrink; we store it only when the whole file
        // was one block (otherwise it stays deflated, in stored blocks).
        EXPECT_EQ(peer.method, 0u);
        if (ours.result.method == 0) {
            EXPECT_EQ(ours.data, peer.data);
        }
    }
}

std::string caseName(const ::testing::TestParamInfo<PeerCase>& info) {
    std::string name = info.param.file + "_" + std::to_string(info.param.level);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, DeflatePeerTest, ::testing::ValuesIn(peerCases()), caseName);

}  // namespace
