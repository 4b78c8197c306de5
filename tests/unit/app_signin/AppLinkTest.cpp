// Splitting the application's links and encoding the dashboard's query.
#include <gtest/gtest.h>

#include "core/app/AppLink.h"

namespace veska::testing {
namespace {

TEST(AppLink, CommandIsTheHostOrThePathWithoutSlashes) {
    struct Row {
        const char* url;
        const char* command;
    };
    const Row rows[] = {
        {"veska-voice-local://login", "login"},
        {"veska-voice-local://Claude-Switch/", "claude-switch"},
        {"veska-voice-local:output?lang=en", "output"},
        {"veska-voice-local:///ai-test?task=fix", "ai-test"},
        {"veska-voice-local://user@config:99/x", "config"},
        {"veska-voice-local:", ""},
        {"", ""},
        {"veska-voice-local://%67rok", "grok"},
    };
    for (const Row& row : rows) EXPECT_EQ(AppLink::parse(row.url).command(), row.command) << row.url;
}

TEST(AppLink, QueryItemsAreDecodedInOrder) {
    const AppLink link = AppLink::parse("veska-voice-local://output?lang=zh-Hans&lang=vi&x=a%20b+c&flag&bad=%zz%4#frag");
    EXPECT_EQ(link.scheme, "veska-voice-local");
    EXPECT_EQ(link.item("lang"), "zh-Hans");
    EXPECT_EQ(link.item("x"), "a b+c");
    EXPECT_EQ(link.item("flag"), "");
    EXPECT_EQ(link.item("bad"), "%zz%4");
    EXPECT_EQ(link.item("missing"), std::nullopt);
}

TEST(AppLink, EncodingKeepsOnlyUnreservedCharactersAndRoundTrips) {
    EXPECT_EQ(percentEncode("a-b_c.d~e"), "a-b_c.d~e");
    EXPECT_EQ(percentEncode("a+b@x.com"), "a%2Bb%40x.com");
    EXPECT_EQ(percentEncode("Tiếng Việt&="), "Ti%E1%BA%BFng%20Vi%E1%BB%87t%26%3D");
    for (const char* text : {"", "a b", "%", "100%25", "ờ hôm nay", "a&b=c?d#e"}) {
        EXPECT_EQ(percentDecode(percentEncode(text)), text) << text;
    }
    EXPECT_EQ(encodeQuery({{"mic", "1"}, {"ce", "a b@c"}}), "mic=1&ce=a%20b%40c");
}

}  // namespace
}  // namespace veska::testing
