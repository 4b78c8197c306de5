// Header fields: names without letter case, order and repeats kept.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "ports/HttpHeaders.h"
#include "ports/WebSocketClient.h"

namespace veska::ports {
namespace {

TEST(HttpHeaders, EditsKeepOrderAndIgnoreLetterCase) {
    struct Row {
        const char* name;
        std::function<void(HttpHeaders&)> edit;
        std::vector<HttpHeaders::Field> expected;
    };
    const HttpHeaders start = {{"Set-Cookie", "a=1"}, {"Content-Type", "text/plain"}, {"set-cookie", "b=2"}};
    const std::vector<Row> rows = {
        {"add keeps repeats", [](HttpHeaders& h) { h.add("SET-COOKIE", "c=3"); },
         {{"Set-Cookie", "a=1"}, {"Content-Type", "text/plain"}, {"set-cookie", "b=2"}, {"SET-COOKIE", "c=3"}}},
        {"set replaces all at the first place", [](HttpHeaders& h) { h.set("set-COOKIE", "z=9"); },
         {{"Set-Cookie", "z=9"}, {"Content-Type", "text/plain"}}},
        {"set adds a new name at the end", [](HttpHeaders& h) { h.set("Accept", "*/*"); },
         {{"Set-Cookie", "a=1"}, {"Content-Type", "text/plain"}, {"set-cookie", "b=2"}, {"Accept", "*/*"}}},
        {"remove takes every one", [](HttpHeaders& h) { h.remove("SET-cookie"); }, {{"Content-Type", "text/plain"}}},
        {"remove of an absent name", [](HttpHeaders& h) { h.remove("X"); },
         {{"Set-Cookie", "a=1"}, {"Content-Type", "text/plain"}, {"set-cookie", "b=2"}}},
    };
    for (const auto& row : rows) {
        HttpHeaders headers = start;
        row.edit(headers);
        EXPECT_EQ(headers.fields(), row.expected) << row.name;
    }
}

TEST(HttpHeaders, LookupsIgnoreLetterCaseOnly) {
    const HttpHeaders headers = {{"Content-Type", "application/json"}, {"Set-Cookie", "a=1"}, {"set-cookie", "b=2"}};
    EXPECT_EQ(headers.value("content-type"), "application/json");
    EXPECT_EQ(headers.value("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(headers.value("Content-Typ"), std::nullopt);
    EXPECT_EQ(headers.value("Content-Type "), std::nullopt);
    EXPECT_EQ(headers.values("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_TRUE(headers.contains("set-cookie"));
    EXPECT_FALSE(headers.contains("cookie"));
    EXPECT_FALSE(HttpHeaders::sameName("ü", "Ü")) << "only ASCII letters fold";
}

HttpHeaders answerHeaders() {
    return {{"Content-Type", std::string(64, 'x')}, {"Set-Cookie", std::string(64, 'y')}};
}

// Under the address sanitizer a reference into the destroyed temporary would be a use after free.
TEST(HttpHeaders, FieldsOfATemporaryOutliveIt) {
    static_assert(std::is_same_v<decltype(answerHeaders().fields()), std::vector<HttpHeaders::Field>>);
    static_assert(std::is_same_v<decltype(std::declval<const HttpHeaders&>().fields()),
                                 const std::vector<HttpHeaders::Field>&>);
    std::vector<std::string> names;
    for (const auto& [name, value] : answerHeaders().fields()) names.push_back(name + "=" + value.substr(0, 1));
    EXPECT_EQ(names, (std::vector<std::string>{"Content-Type=x", "Set-Cookie=y"}));

    std::string refusal;
    for (const auto& [name, value] : WebSocketError(401, answerHeaders(), "denied").headers().fields())
        refusal += name + ";";
    EXPECT_EQ(refusal, "Content-Type;Set-Cookie;");
}

}  // namespace
}  // namespace veska::ports
