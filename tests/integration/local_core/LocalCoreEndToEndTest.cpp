// The app's side of the local core for real: found in this checkout, started with node on a
// free port, reached over libcurl with the token, transcribing through a fake ChatGPT service.
#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>

#include <fstream>

#include "contract/ContractEnv.h"
#include "core/app/LocalCoreService.h"
#include "integration/linux_recorder/RealTimeLoop.h"
#include "platform/linux/PosixLocalMachine.h"
#include "platform/linux/ProcessEnvironment.h"
#include "platform/linux/http/CurlHttpClient.h"
#include "platform/linux/process/PosixProcesses.h"
#include "platform/sim/SimPreferences.h"
#include "runtime/Sleep.h"
#include "support/TempDir.h"

namespace veska {
namespace {

/// A port nobody listens on now: the system's choice for a socket closed at once.
int unusedPort(platform::PosixLocalMachine& machine) {
    for (int port = 20000 + (::getpid() % 20000);; ++port) {
        if (machine.loopbackPortAnswers(port) == false) return port;
    }
}

rt::Task<bool> waitForPort(platform::PosixLocalMachine* machine, int port) {
    for (int i = 0; i < 100; ++i) {
        if (machine->loopbackPortAnswers(port) == true) co_return true;
        co_await rt::sleepFor(0.05);
    }
    co_return false;
}

/// Ends the processes a test started, however the test ends.
struct Reaper {
    std::vector<int> pids;
    Reaper() = default;
    Reaper(const Reaper&) = delete;
    Reaper& operator=(const Reaper&) = delete;
    ~Reaper() {
        for (int pid : pids) ::kill(pid, SIGTERM);
        ::unsetenv("LOCAL_CORE_TOKEN");
        ::unsetenv("VESKA_CHATGPT_URL");
    }
};

class RealTimeEnv final : public contract::ContractEnv {
public:
    rt::Executor& executor() override { return loop; }
    bool runUntil(const std::function<bool()>& done, double maxSeconds) override { return loop.runUntil(done, maxSeconds); }
    void advance(double seconds) override { loop.advance(seconds); }
    testing::RealTimeLoop loop;
};

/// A token the service signs for the account "e2e@veska.test", valid for an hour.
std::string accessToken() {
    // {"alg":"none"} . {"email":"e2e@veska.test","exp":4102444800} . signature
    return "eyJhbGciOiJub25lIn0.eyJlbWFpbCI6ImUyZUB2ZXNrYS50ZXN0IiwiZXhwIjo0MTAyNDQ0ODAwfQ.c2ln";
}

TEST(LocalCoreEndToEnd, StartsTheCheckoutsCoreAndTranscribesThroughIt) {
    testing::TempDir home;
    testing::TempDir bundle;
    bundle.write("Resources/repo-root.txt", std::string(VESKA_SOURCE_DIR) + "\n");
    home.write("take.m4a", std::string(5000, '\x42'));
    platform::PosixLocalMachine machine;
    platform::PosixProcesses processes;
    platform::ProcessEnvironment environment;
    platform::CurlHttpClient http;
    sim::SimPreferences prefs;
    RealTimeEnv env;
    Reaper reaper;

    const int fakePort = unusedPort(machine);
    ports::ProcessLaunch fake;
    fake.executable = VESKA_NODE;
    fake.arguments = {std::string(VESKA_SOURCE_DIR) + "/packages/local-core/tests/run-fake-chatgpt.mjs",
                      std::to_string(fakePort), "xin chào"};
    std::unique_ptr<ports::Process> fakeProcess = processes.launch(fake);
    reaper.pids.push_back(fakeProcess->pid());
    ASSERT_TRUE(contract::runTask(env, waitForPort(&machine, fakePort)));

    // What the core inherits: its own home, the fake service, the token.
    ::setenv("HOME", home.path().c_str(), 1);
    ::setenv("VESKA_CHATGPT_URL", ("http://127.0.0.1:" + std::to_string(fakePort)).c_str(), 1);
    ::setenv("LOCAL_CORE_TOKEN", "e2e-token", 1);
    LocalCoreService service(http, "http://127.0.0.1:" + std::to_string(unusedPort(machine)), "e2e-token", prefs,
                             {V2Config::Bundle{(bundle.path() / "Resources").string()}, &environment, &machine, &processes});
    contract::runTask(env, service.ensureCore(), 20);
    ASSERT_EQ(service.coreSource(), "dev");
    ASSERT_NE(service.coreProcess(), nullptr);
    const int corePid = service.coreProcess()->pid();
    reaper.pids.push_back(corePid);
    const std::string url = service.client().baseURL;
    EXPECT_EQ(prefs.string("localCoreURL"), url);
    EXPECT_TRUE(contract::runTask(env, service.client().dashboardReady()));

    LocalCoreClient& client = service.client();
    const std::string take = (home.path() / "take.m4a").string();
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
    home.write("long.m4a", std::string(std::size_t{25} * 1024 * 1024 + 1, '\x42'));
    const auto tooLarge = contract::runForError<LocalError>(env, service.transcribe((home.path() / "long.m4a").string()));
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status(), 413);

    LocalCoreClient stranger(http, url, "");
    const auto refused = contract::runForError<LocalError>(env, stranger.status());
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status(), 401);
    EXPECT_EQ(refused->description(), "HTTP 401: Missing or wrong local core token");

    contract::runTask(env, service.ensureCore());
    EXPECT_EQ(service.coreProcess()->pid(), corePid) << "the running core is kept";
}

}  // namespace
}  // namespace veska
