// What the simulated processes and cookie store add to the contracts.
#include <gtest/gtest.h>

#include "unit/sim_services/SimSystemEnvs.h"

namespace veska::sim {
namespace {

using contract::runTask;

ports::ProcessLaunch launchOf(std::string path) {
    ports::ProcessLaunch launch;
    launch.executable = std::move(path);
    launch.output = ports::ProcessOutput::capture;
    launch.errorOutput = ports::ProcessOutput::capture;
    return launch;
}

TEST(SimProcesses, OutputDueAfterTheExitIsNeverWritten) {
    SimProcessesEnv env;
    SimProgram program;
    program.output = {{0.1, SimStream::out, "early "}, {0.2, SimStream::err, "warn"}, {0.5, SimStream::out, "late"}};
    program.lifetimeSeconds = 0.4;
    env.simProcesses().install("/usr/bin/tool", program);
    auto exit = runTask(env, contract::proc::run(&env.processes(), launchOf("/usr/bin/tool")));
    EXPECT_EQ(exit.output, "early ");
    EXPECT_EQ(exit.errorOutput, "warn");
}

TEST(SimProcesses, TerminationAndOutsideSignals) {
    SimProcessesEnv env;
    SimProgram stubborn;
    stubborn.lifetimeSeconds = -1;
    stubborn.ignoresTerminate = true;
    env.simProcesses().install("/usr/bin/stubborn", stubborn);
    auto process = env.processes().launch(launchOf("/usr/bin/stubborn"));
    process->terminate();
    env.advance(1);
    EXPECT_TRUE(process->isRunning());
    EXPECT_EQ(env.simProcesses().runningCount(), 1u);
    env.simProcesses().kill(process->pid(), 9);
    auto exit = runTask(env, process->wait());
    EXPECT_TRUE(exit.signalled);
    EXPECT_EQ(exit.code, 9);
    EXPECT_EQ(env.simProcesses().runningCount(), 0u);
}

TEST(SimProcesses, EnvironmentIsInheritedUnlessToldNot) {
    SimProcessesEnv env;
    env.simProcesses().setEnvironment({{"HOME", "/home/u"}, {"PORT", "1"}});
    env.simProcesses().setCurrentDirectory("/home/u");
    SimProgram echo;
    echo.echoVariables = {"HOME", "PORT"};
    echo.echoWorkingDirectory = true;
    env.simProcesses().install("/bin/echoenv", echo);
    struct Row {
        bool inherit;
        std::map<std::string, std::string> set;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {true, {}, "HOME=/home/u\nPORT=1\n/home/u\n"},
        {true, {{"PORT", "8797"}}, "HOME=/home/u\nPORT=8797\n/home/u\n"},
        {false, {{"PORT", "8798"}}, "PORT=8798\n/home/u\n"},
    };
    for (const auto& row : rows) {
        auto launch = launchOf("/bin/echoenv");
        launch.inheritEnvironment = row.inherit;
        launch.environment = row.set;
        EXPECT_EQ(runTask(env, contract::proc::run(&env.processes(), launch)).output, row.expected);
    }
}

TEST(SimProcesses, LaunchesAreRecordedAndHooksSeeThem) {
    SimProcessesEnv env;
    SimProgram server;
    server.lifetimeSeconds = -1;
    env.simProcesses().install("/opt/node", server);
    std::vector<std::pair<std::string, int>> hooked;
    env.simProcesses().onLaunch("/opt/node", [&](const ports::ProcessLaunch& launch, int pid) {
        hooked.emplace_back(launch.environment.at("PORT"), pid);
    });
    auto launch = launchOf("/opt/node");
    launch.arguments = {"/opt/cli.mjs", "serve"};
    launch.environment = {{"PORT", "8797"}};
    auto process = env.processes().launch(launch);
    EXPECT_THROW(env.processes().launch(launchOf("/opt/missing")), ports::ProcessError);
    ASSERT_EQ(hooked.size(), 1u);
    EXPECT_EQ(hooked[0], std::make_pair(std::string("8797"), process->pid()));
    ASSERT_EQ(env.simProcesses().launches().size(), 2u);
    EXPECT_EQ(env.simProcesses().launches()[0].arguments, launch.arguments);
    EXPECT_EQ(env.simProcesses().launches()[1].executable, "/opt/missing");
}

rt::Task<ports::Subscription> listenOn(ports::WebCookieStore* store, std::vector<std::string>* seen) {
    co_return store->subscribe([seen](const ports::CookieChange& change) {
        seen->push_back((change.removed ? "-" : "+") + change.cookie.name);
    });
}

TEST(SimCookieStore, PagesChangeTheStoreAndEverySubscriberHears) {
    SimCookieStoreEnv env;
    std::vector<std::string> main;
    std::vector<std::string> other;
    auto first = runTask(env, listenOn(&env.store(), &main));
    auto handle = rt::spawn(env.loop().lane("web"), listenOn(&env.store(), &other));
    env.advance(0);
    auto second = handle.take();
    EXPECT_TRUE(env.simStore().setFromPage(contract::cookies::make("sessionKey", "sk", ".claude.example")));
    EXPECT_FALSE(env.simStore().setFromPage(contract::cookies::make("bad name", "v", ".claude.example")));
    env.simStore().deleteFromPage(contract::cookies::make("sessionKey", "", ".claude.example"));
    env.advance(0.1);
    EXPECT_EQ(main, (std::vector<std::string>{"+sessionKey", "-sessionKey"}));
    EXPECT_EQ(other, main);
    EXPECT_TRUE(env.simStore().cookies().empty());
}

TEST(SimCookieStore, ASubscriptionMayOutliveItsStore) {
    std::vector<std::string> seen;
    ports::Subscription subscription;
    {
        SimCookieStoreEnv env;
        subscription = runTask(env, listenOn(&env.store(), &seen));
        env.simStore().setFromPage(contract::cookies::make("a", "1", ".s.example"));
    }
    subscription.reset();
    EXPECT_FALSE(subscription.active());
}

}  // namespace
}  // namespace veska::sim
