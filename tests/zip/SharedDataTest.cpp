// Says, as a skipped test, that the shared data is missing: the suites built from the corpus
// and the manifest are then empty and would otherwise vanish from the report silently.
#include "tests/zip/SharedData.h"

#include "tests/zip/DeflateTestSupport.h"

TEST(SharedData, CorpusIsBesideTheCheckout) {
    SKIP_WITHOUT_SHARED("corpus");
    EXPECT_FALSE(deflate_test::corpusFiles().empty());
}

TEST(SharedData, TestdataManifestIsBesideTheCheckout) { SKIP_WITHOUT_SHARED("testdata/manifest.json"); }
