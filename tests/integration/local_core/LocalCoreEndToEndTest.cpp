// The app's side of the local core for real: found in this checkout, started with node on a
// free port, reached over libcurl with the token, transcribing through the fake ChatGPT service.
#include <gtest/gtest.h>

#include "core/app/UserDefaults.h"
#include "integration/local_core/LocalCoreRig.h"
#include "support/FakeService.h"

namespace veska {
namespace {

/// A token of the account "e2e@veska.test", valid until 2100 (the core reads its claims).
std::string accessToken() {
    // {"alg":"none"} . {"email":"e2e@veska.test","exp":4102444800} . signature
    return "eyJhbGciOiJub25lIn0.eyJlbWFpbCI6ImUyZUB2ZXNrYS50ZXN0IiwiZXhwIjo0MTAyNDQ0ODAwfQ.c2ln";
}

/// `size` bytes that start like an MPEG-4 file, as the service checks.
std::string mp4Like(std::size_t size) {
    std::string bytes("\0\0\0\x1c" "ftypM4A ", 12);
    bytes.resize(size, '\x42');
    return bytes;
}

TEST(LocalCoreEndToEnd, StartsTheCheckoutsCoreAndTranscribesThroughIt) {
    // The ChatGPT service takes this test's token and answers with the size of what it got.
    testing::FakeService chatgpt("chatgpt");
    ASSERT_EQ(chatgpt.post("/__fake/config",
                           nlohmann::json{{"token", accessToken()}, {"text", "xin chào ({bytes} bytes)"}}.dump())
                  .status,
              200);
    platform::PosixLocalMachine probe;
    // What the core inherits: its own home, the fake service, the token.
    testing::CoreRig rig("http://127.0.0.1:" + std::to_string(testing::unusedPort(probe)), "e2e-token");
    ::setenv("VESKA_CHATGPT_URL", chatgpt.baseUrl().c_str(), 1);
    rig.home.write("take.m4a", mp4Like(5000));
    auto& env = rig.env;
    LocalCoreService& service = *rig.service;

    rig.ensureCore();
    ASSERT_EQ(service.coreSource(), "dev");
    ASSERT_NE(service.coreProcess(), nullptr);
    const int corePid = service.coreProcess()->pid();
    const std::string url = service.client().baseURL;
    EXPECT_EQ(rig.prefs.string(UserDefaults::kLocalCoreURL), url);
    EXPECT_TRUE(contract::runTask(env, service.client().dashboardReady()));

    LocalCoreClient& client = service.client();
    const std::string take = (rig.home.path() / "take.m4a").string();
    const auto signedOut = contract::runForError<LocalError>(env, service.transcribe(take));
    ASSERT_TRUE(signedOut);
    EXPECT_EQ(signedOut->description(), "HTTP 401: No ChatGPT access token — sign in to ChatGPT from the Veska menu");
    contract::runTask(env, client.savePrefs({{"stt", {{"provider", "chatgpt_web"}}}}));
    contract::runTask(env, client.saveSecrets({{"CHATGPT_ACCESS_TOKEN", accessToken()}}));
    const nlohmann::json prefsNow = contract::runTask(env, service.prefs());
    EXPECT_EQ(prefsNow["stt"]["provider"], "chatgpt_web");
    const nlohmann::json status = contract::runTask(env, client.status());
    EXPECT_EQ(status["stt"]["ready"], true);
    EXPECT_EQ(status["stt"]["account"]["email"], "e2e@veska.test");
    EXPECT_EQ(contract::runTask(env, service.transcribe(take)), "xin chào (5000 bytes)");
    const nlohmann::json seen = nlohmann::json::parse(chatgpt.get("/__fake/requests").body)["requests"];
    ASSERT_EQ(seen.size(), 1U);
    EXPECT_EQ(seen[0]["problems"], nlohmann::json::array());
    EXPECT_EQ(seen[0]["headers"]["authorization"], "Bearer " + accessToken());

    // The service's failures reach the application as the core words them.
    struct Row {
        nlohmann::json failure;
        int status;
        std::string description;
    };
    const std::vector<Row> rows{
        {{{"status", 401}}, 401, "HTTP 401: ChatGPT refused the access token (HTTP 401) — sign in to ChatGPT again"},
        {{{"status", 413}}, 413, "HTTP 413: ChatGPT refused the recording as too large"},
        {{{"status", 500}}, 502, "HTTP 502: ChatGPT transcription failed (HTTP 500)"},
        {{{"drop", true}}, 502, "HTTP 502: ChatGPT unreachable"},
    };
    for (const Row& row : rows) {
        chatgpt.post("/__fake/script", nlohmann::json{{"transcribe", {row.failure}}}.dump());
        const auto failed = contract::runForError<LocalError>(env, service.transcribe(take));
        ASSERT_TRUE(failed) << row.failure;
        EXPECT_EQ(failed->status(), row.status) << row.failure;
        EXPECT_EQ(failed->description(), row.description);
    }

    rig.home.write("long.m4a", mp4Like(std::size_t{25} * 1024 * 1024 + 1));
    const auto tooLarge = contract::runForError<LocalError>(env, service.transcribe((rig.home.path() / "long.m4a").string()));
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status(), 413);

    LocalCoreClient stranger(rig.http, url, "");
    const auto refused = contract::runForError<LocalError>(env, stranger.status());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status(), 401);
    EXPECT_EQ(refused->description(), "HTTP 401: Missing or wrong local core token");

    rig.ensureCore();
    EXPECT_EQ(service.coreProcess()->pid(), corePid) << "the running core is kept";
}

}  // namespace
}  // namespace veska
