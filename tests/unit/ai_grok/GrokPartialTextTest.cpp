// The text value read out of unfinished function-call arguments.
#include <algorithm>

#include <rapidcheck.h>

#include "GrokRealtimeRig.h"

namespace veska::testing {
namespace {

TEST(GrokPartialText, ReadsWhatHasArrivedOfTheTextValue) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> rows = {
        {R"({"text": "Xin ch)", "Xin ch"},
        {R"({"text":"a\"b"})", "a\"b"},
        {R"({"text":"caf\u00e9")", "café"},
        {R"({"text":"\u1EA1\u4e2d")", "ạ中"},
        {R"({"text":"line\nnext\ttab\rcr\\back\/slash")", "line\nnext\ttab\rcr\\back/slash"},
        {R"({"text":"\b")", "b"},
        {R"({"text":"ends with \)", "ends with "},
        {R"({"text":"cut \u00)", "cut "},
        {R"({"text":"bad \u00zz!")", "bad !"},
        {R"({"text":"surrogate \ud83d\ude00!")", "surrogate !"},
        {R"({"text": ")", ""},
        {R"({"text":)", std::nullopt},
        {R"({"text")", std::nullopt},
        {R"({"text": 5})", std::nullopt},
        {R"({"text": null})", std::nullopt},
        {R"({"txt": "a"})", std::nullopt},
        {"", std::nullopt},
        {"{\"text\" :\n : \"spaced\"}", "spaced"},
        {"{\"text\"\t: \"tab\"}", std::nullopt},
        {R"({"title":"x","text":"second"})", "second"},
        {R"({"a":"text","text":"real"})", std::nullopt},
    };
    for (const auto& [arguments, expected] : rows) {
        EXPECT_EQ(GrokTextSession::partialText(arguments), expected) << arguments;
    }
}

TEST(GrokPartialText, TextGrowsWithTheArgumentsAndEndsAsTheDecodedValue) {
    rc::check([](const std::string& value, bool ascii) {
        const std::string encoded =
            json{{"text", value}, {"n", 1}}.dump(-1, ' ', ascii, json::error_handler_t::replace);
        const std::string decoded = json::parse(encoded)["text"].get<std::string>();
        const std::optional<std::string> whole = GrokTextSession::partialText(encoded);
        RC_ASSERT(whole.has_value());
        // Characters outside the basic plane travel as surrogate pairs, which are left out.
        const bool basicPlane =
            std::none_of(decoded.begin(), decoded.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xF0; });
        if (!ascii || basicPlane) RC_ASSERT(*whole == decoded);
        for (std::size_t cut = 0; cut <= encoded.size(); ++cut) {
            auto partial = GrokTextSession::partialText(std::string_view(encoded).substr(0, cut));
            if (partial) RC_ASSERT(whole->starts_with(*partial));
        }
    });
}

}  // namespace
}  // namespace veska::testing
