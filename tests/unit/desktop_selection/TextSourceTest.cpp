// The stored names of text sources.
#include <gtest/gtest.h>

#include "core/desktop/TextSource.h"

namespace veska::testing {
namespace {

TEST(TextSource, RawNamesGoBothWaysAndNothingElseParses) {
    for (TextSource source : {TextSource::selection, TextSource::field, TextSource::clipboard}) {
        EXPECT_EQ(textSourceFromRaw(rawValue(source)), source);
    }
    EXPECT_EQ(rawValue(TextSource::clipboard), "clipboard");
    for (const char* raw : {"", "Selection", "field ", "pasteboard"}) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(textSourceFromRaw(raw), std::nullopt);
    }
}

}  // namespace
}  // namespace veska::testing
