// The local core's client: requests, headers, answers read, errors and the multipart upload.
#include <gtest/gtest.h>

#include <regex>

#include "core/app/LocalCoreClient.h"
#include "unit/app_core/LocalCoreRig.h"
#include "support/TempDir.h"

namespace veska {
namespace {

using ports::HttpMethod;
using sim::HttpBehaviour;
using testing::LocalCoreRig;

template <class E, class T>
std::optional<E> failure(LocalCoreRig& rig, rt::Task<T> task) {
    try {
        rig.run(std::move(task));
    } catch (const E& error) {
        return error;
    }
    return std::nullopt;
}

TEST(LocalError, DescriptionsAndTheCutBody) {
    const std::string vietnamese120 = [] {
        std::string text;
        for (int i = 0; i < 120; ++i) text += "e\u0301";  // one character: e + combining acute
        return text;
    }();
    struct Row {
        LocalError error;
        std::string expected;
    };
    const std::vector<Row> rows{
        {LocalError::http(500, "boom"), "HTTP 500: boom"},
        {LocalError::http(413, ""), "HTTP 413: "},
        {LocalError::http(502, std::string(120, 'x') + "TAIL"), "HTTP 502: " + std::string(120, 'x')},
        {LocalError::http(400, vietnamese120 + "\u1EC7"), "HTTP 400: " + vietnamese120},
        {LocalError::network(), "Local core unreachable — start packages/local-core"},
        {LocalError::decode(), "Bad response"},
        {LocalError::noMic(), "Microphone permission required"},
        {LocalError::empty(), "Empty result"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.error.description(), row.expected);
        EXPECT_STREQ(row.error.what(), row.expected.c_str());
    }
}

TEST(LocalCoreClient, MultipartBodyByteForByte) {
    const std::string audio("\x00\x01\r\n--Boundary-\xff", 16);
    const MultipartUpload upload = transcriptionUpload(audio, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(upload.contentType, "multipart/form-data; boundary=Boundary-E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    const std::string expected =
        "--Boundary-E621E1F8-C36C-495A-93FC-0C247A3E6E5F\r\n"
        "Content-Disposition: form-data; name=\"file\"; filename=\"audio.m4a\"\r\n"
        "Content-Type: audio/mp4\r\n\r\n" +
        audio + "\r\n--Boundary-E621E1F8-C36C-495A-93FC-0C247A3E6E5F--\r\n";
    EXPECT_EQ(upload.body, expected);
}

TEST(LocalCoreClient, TranscribePostsTheFileWithAFreshBoundaryAndTheToken) {
    testing::TempDir dir;
    const std::string audio("ftyp\0\0m4a bytes", 15);
    dir.write("take.m4a", audio);
    LocalCoreRig rig;
    LocalCoreClient client(rig.http, testing::kCoreOrigin, "tok-123");
    rig.core.secrets().addSecret("tok-123");
    rig.core.reply(HttpMethod::post, "/v1/audio/transcriptions", 200, R"({"text":"xin chào"})");
    const std::string path = (dir.path() / "take.m4a").string();
    EXPECT_EQ(rig.run(client.transcribe(path)), "xin chào");
    EXPECT_EQ(rig.run(client.transcribe(path)), "xin chào");

    const auto requests = rig.core.requestsTo("/v1/audio/transcriptions");
    ASSERT_EQ(requests.size(), 2u);
    std::set<std::string> boundaries;
    for (const auto& request : requests) {
        EXPECT_EQ(request.method, HttpMethod::post);
        EXPECT_EQ(request.url, std::string(testing::kCoreOrigin) + "/v1/audio/transcriptions");
        EXPECT_EQ(request.headers.value("Authorization"), "Bearer tok-123");
        const std::string type = request.headers.value("Content-Type").value_or("");
        std::smatch match;
        const std::regex pattern("multipart/form-data; boundary=(Boundary-[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-"
                                 "[89AB][0-9A-F]{3}-[0-9A-F]{12})");
        ASSERT_TRUE(std::regex_match(type, match, pattern)) << type;
        boundaries.insert(match[1]);
        EXPECT_EQ(request.body, transcriptionUpload(audio, match[1].str().substr(9)).body);
    }
    EXPECT_EQ(boundaries.size(), 2u) << "every upload gets a new boundary";
}

TEST(LocalCoreClient, AuthorizationOnlyWithAToken) {
    for (const std::string token : {"", "secret"}) {
        LocalCoreRig rig;
        LocalCoreClient client(rig.http, testing::kCoreOrigin, token);
        testing::serveHealthyCore(rig.core);
        rig.core.reply(HttpMethod::get, "/v1/config", 200, "{}");
        rig.core.reply(HttpMethod::put, "/v1/config/prefs", 200, "{}");
        rig.core.reply(HttpMethod::put, "/v1/config/secrets", 204, "");
        rig.core.reply(HttpMethod::get, "/v1/status", 200, "{}");
        rig.run(client.dashboardReady());
        rig.run(client.prefs());
        rig.run(client.status());
        rig.run(client.savePrefs({{"stt", {{"claudeLoggedIn", true}}}}));
        rig.run(client.saveSecrets({{"CHATGPT_ACCESS_TOKEN", "at"}}));
        ASSERT_EQ(rig.core.requests().size(), 6u);
        for (const auto& request : rig.core.requests()) {
            if (token.empty()) {
                EXPECT_FALSE(request.headers.contains("Authorization")) << request.path;
            } else {
                EXPECT_EQ(request.headers.value("Authorization"), "Bearer secret") << request.path;
            }
        }
        const auto prefs = rig.core.requestsTo("/v1/config/prefs");
        ASSERT_EQ(prefs.size(), 1u);
        EXPECT_EQ(prefs[0].headers.value("Content-Type"), "application/json");
        EXPECT_EQ(nlohmann::json::parse(prefs[0].body), nlohmann::json::parse(R"({"stt":{"claudeLoggedIn":true}})"));
        const auto secrets = rig.core.requestsTo("/v1/config/secrets");
        ASSERT_EQ(secrets.size(), 1u);
        EXPECT_EQ(nlohmann::json::parse(secrets[0].body), nlohmann::json::parse(R"({"CHATGPT_ACCESS_TOKEN":"at"})"));
    }
}

TEST(LocalCoreClient, HealthReadsOkAsABoolean) {
    struct Row {
        int status;
        std::string body;
        bool expected;
    };
    const std::vector<Row> rows{
        {200, R"({"ok":true})", true},    {200, R"({"ok":false})", false}, {200, R"({"ok":1})", false},
        {200, R"({"ok":"true"})", false}, {200, R"({})", false},         {200, R"([true])", false},
        {503, R"({"ok":true})", true},  // the status is not looked at
    };
    for (const Row& row : rows) {
        LocalCoreRig rig;
        rig.core.reply(HttpMethod::get, "/healthz", row.status, row.body);
        EXPECT_EQ(rig.run(rig.client.health()), row.expected) << row.body;
    }
    LocalCoreRig rig;
    rig.core.reply(HttpMethod::get, "/healthz", 200, "ok");
    EXPECT_THROW(rig.run(rig.client.health()), nlohmann::json::parse_error);
}

TEST(LocalCoreClient, DashboardReadyNeedsHealthAnd200AndAPage) {
    struct Row {
        const char* label;
        std::string health;
        int status;
        std::string page;
        bool expected;
    };
    const std::vector<Row> rows{
        {"page", R"({"ok":true})", 200, "<!DOCTYPE html><html lang=vi>", true},
        {"upper case", R"({"ok":true})", 200, "<HtMl>", true},
        {"JSON body", R"({"ok":true})", 200, R"({"html":"<htm"})", false},
        {"404 page", R"({"ok":true})", 404, "<html>not found</html>", false},
        {"unhealthy", R"({"ok":false})", 200, "<html>", false},
        {"health not JSON", "up", 200, "<html>", false},
        {"page not UTF-8", R"({"ok":true})", 200, "<html>\xff\xfe", false},
    };
    for (const Row& row : rows) {
        LocalCoreRig rig;
        rig.core.reply(HttpMethod::get, "/healthz", 200, row.health);
        rig.core.reply(HttpMethod::get, "/", row.status, row.page);
        EXPECT_EQ(rig.run(rig.client.dashboardReady()), row.expected) << row.label;
    }
    for (auto opening : {sim::HttpOpening::refuse, sim::HttpOpening::malformed, sim::HttpOpening::silence}) {
        LocalCoreRig rig;
        rig.core.route({std::nullopt, "/healthz", std::nullopt, {HttpBehaviour::failing(opening)}});
        EXPECT_FALSE(rig.run(rig.client.dashboardReady()));
    }
}

TEST(LocalCoreClient, SilentCoreTimesOutAfterSixtySeconds) {
    LocalCoreRig rig;
    rig.core.route({std::nullopt, "/healthz", std::nullopt, {HttpBehaviour::failing(sim::HttpOpening::silence)}});
    const double started = rig.loop.now();
    EXPECT_FALSE(rig.run(rig.client.dashboardReady()));
    EXPECT_DOUBLE_EQ(rig.loop.now() - started, 60.0);
}

TEST(LocalCoreClient, PrefsTakesTheInnerObjectWhenThereIsOne) {
    struct Row {
        std::string body;
        std::string expected;
    };
    const std::vector<Row> rows{
        {R"({"prefs":{"stt":{"provider":"chatgpt_web"},"locale":"en"},"v":1})",
         R"({"stt":{"provider":"chatgpt_web"},"locale":"en"})"},
        {R"({"prefs":"x","locale":"vi"})", R"({"prefs":"x","locale":"vi"})"},
        {R"({"stt":{"claudeLoggedIn":true}})", R"({"stt":{"claudeLoggedIn":true}})"},
    };
    for (const Row& row : rows) {
        LocalCoreRig rig;
        rig.core.reply(HttpMethod::get, "/v1/config", 200, row.body);
        EXPECT_EQ(rig.run(rig.client.prefs()), nlohmann::json::parse(row.expected));
    }
    LocalCoreRig rig;
    rig.core.reply(HttpMethod::get, "/v1/config", 200, "[1,2]");
    auto error = failure<LocalError>(rig, rig.client.prefs());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), LocalError::Kind::decode);
    rig.core.reply(HttpMethod::get, "/v1/config", 200, "{nope");
    EXPECT_THROW(rig.run(rig.client.prefs()), nlohmann::json::parse_error);
}

TEST(LocalCoreClient, TranscriptionAnswersAndFailures) {
    testing::TempDir dir;
    dir.write("a.m4a", "audio");
    const std::string path = (dir.path() / "a.m4a").string();
    struct Row {
        int status;
        std::string body;
        std::optional<std::string> text;
        std::optional<LocalError> error;
    };
    const std::vector<Row> rows{
        {200, R"({"text":""})", "", std::nullopt},
        {201, R"({"text":"hello","lang":"en"})", "hello", std::nullopt},
        {200, R"({"text":42})", std::nullopt, LocalError::decode()},
        {200, R"({"result":"x"})", std::nullopt, LocalError::decode()},
        {200, "not json", std::nullopt, LocalError::decode()},
        {401, R"({"error":"no ChatGPT token"})", std::nullopt, LocalError::http(401, R"({"error":"no ChatGPT token"})")},
        {500, "\xff\xfe", std::nullopt, LocalError::http(500, "HTTP 500")},
        {413, "", std::nullopt, LocalError::http(413, "")},
    };
    for (const Row& row : rows) {
        LocalCoreRig rig;
        rig.core.reply(HttpMethod::post, "/v1/audio/transcriptions", row.status, row.body);
        if (row.text) {
            EXPECT_EQ(rig.run(rig.client.transcribe(path)), *row.text);
            continue;
        }
        auto error = failure<LocalError>(rig, rig.client.transcribe(path));
        ASSERT_TRUE(error) << row.body;
        EXPECT_EQ(*error, *row.error) << row.body;
    }
    LocalCoreRig rig;
    EXPECT_THROW(rig.run(rig.client.transcribe((dir.path() / "missing.m4a").string())), std::system_error);
    EXPECT_TRUE(rig.core.requests().empty()) << "nothing is sent without the file";
    rig.core.route({std::nullopt, "/v1/audio/transcriptions", std::nullopt,
                    {HttpBehaviour::failing(sim::HttpOpening::refuse)}});
    auto transport = failure<ports::HttpError>(rig, rig.client.transcribe(path));
    ASSERT_TRUE(transport);
    EXPECT_EQ(transport->kind(), ports::HttpErrorKind::network);
}

TEST(LocalCoreClient, RequestPathsAreAppendedToTheBaseAsText) {
    LocalCoreRig rig;
    sim::SimHttpServer prefixed("http://127.0.0.1:9100");
    rig.http.attach(prefixed);
    LocalCoreClient client(rig.http, "http://127.0.0.1:9100/core", "");
    prefixed.reply(HttpMethod::get, "/core/v1/config", 200, R"({"prefs":{"locale":"en"}})");
    EXPECT_EQ(rig.run(client.prefs()), nlohmann::json::parse(R"({"locale":"en"})"));
}

}  // namespace
}  // namespace veska
