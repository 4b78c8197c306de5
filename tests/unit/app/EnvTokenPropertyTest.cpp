// Property: however the token line is quoted, indented or preceded, the token comes back.
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include "core/app/V2Config.h"

namespace veska {
namespace {

// Token characters: printable ASCII without quotes, blanks or line breaks.
rc::Gen<std::string> tokenText() {
    return rc::gen::container<std::string>(
        rc::gen::suchThat(rc::gen::inRange<char>(33, 127), [](char c) { return c != '"' && c != '\''; }));
}

rc::Gen<std::string> from(const std::string& alphabet, int maxLength) {
    return rc::gen::resize(maxLength, rc::gen::container<std::string>(rc::gen::elementOf(alphabet)));
}

TEST(EnvTokenProperty, QuotedIndentedTokenAfterOtherLinesRoundTrips) {
    bool ok = rc::check([] {
        std::string token = *tokenText();
        std::string quotesBefore = *from("\"'", 4);
        std::string quotesAfter = *from("\"'", 4);
        std::string indent = *from(" \t", 4);
        std::string trailing = *from(" \t", 4);
        std::string otherLine = *from("ABC_=xyz \t\"'#", 20);
        RC_PRE(otherLine.find("LOCAL_CORE_TOKEN=") == std::string::npos);
        std::string text = otherLine + "\n\n" + indent + "LOCAL_CORE_TOKEN=" + quotesBefore + token +
                           quotesAfter + trailing + "\nLOCAL_CORE_TOKEN=later\n";
        RC_ASSERT(V2Config::tokenFromEnvText(text) == token);
    });
    EXPECT_TRUE(ok);
}

TEST(EnvTokenProperty, ArbitraryBytesNeverFailAndNeverYieldEdgeQuotes) {
    bool ok = rc::check([](const std::string& text) {
        std::string token = V2Config::tokenFromEnvText(text);
        if (token.empty()) return;
        RC_ASSERT(token.front() != '"' && token.front() != '\'');
        RC_ASSERT(token.back() != '"' && token.back() != '\'');
        RC_ASSERT(token.find('\n') == std::string::npos);
    });
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace veska
