// Whole scenarios played in virtual time: what the trace shows, when, and what it never shows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "main/scenario/ScenarioParser.h"
#include "main/scenario/ScenarioRunner.h"
#include "main/scenario/SimCommand.h"

namespace veska::scenario {
namespace {

using nlohmann::json;

const std::string kDir = VESKA_SCENARIO_DIR;

/// Notes (in front) with a text area "Body" and a field "To"; Mail with one text area.
const char* const kDesktop = R"({
  "pasteboard": {"text": "A"},
  "apps": [
    {"pid": 300, "name": "Notes", "frontmost": true, "windows": [{"children": [
      {"role": "AXTextField", "title": "To", "text": ""},
      {"role": "AXTextArea", "title": "Body", "text": "", "focused": true}]}]},
    {"pid": 400, "name": "Mail", "windows": [{"children": [
      {"role": "AXTextArea", "text": "", "focused": true}]}]}
  ]})";

struct Played {
    std::string trace;
    RunResult result;

    /// The trace lines of one event kind, parsed.
    [[nodiscard]] std::vector<json> events(const std::string& event) const {
        std::vector<json> out;
        std::istringstream lines(trace);
        for (std::string line; std::getline(lines, line);) {
            json item = json::parse(line);
            if (item["event"] == event) out.push_back(std::move(item));
        }
        return out;
    }
};

Played run(const std::string& steps, const std::string& services = "[]", const std::string& desktop = kDesktop) {
    const Scenario scenario = parseScenarioText(R"({"version": 1, "desktop": )" + desktop +
                                                R"(, "services": )" + services + R"(, "steps": )" + steps + "}");
    std::ostringstream out;
    TraceWriter writer(out, TraceWriter::Mode::full);
    ScenarioRunner runner(scenario, writer);
    Played result;
    result.result = runner.run();
    result.trace = out.str();
    return result;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int command(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
    std::ostringstream o;
    std::ostringstream e;
    const int status = runCommand(args, o, e);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return status;
}

TEST(ScenarioRunner, TracesMatchTheirGoldenFilesByteForByte) {
    for (const char* name :
         {"paste-replaces-selection", "streamed-http-response", "gesture-fn-hold", "selection-by-copy-fallback",
          "dictation-chatgpt-take", "dictation-claude-live", "dictation-fix-escape"}) {
        std::string out;
        EXPECT_EQ(command({kDir + "/" + name + ".json"}, &out), kExitHeld) << name;
        const std::string golden = fileText(kDir + "/golden/" + name + ".jsonl");
        ASSERT_FALSE(golden.empty()) << name;
        EXPECT_EQ(out, golden) << name;
    }
}

TEST(ScenarioRunner, TheSameFileGivesTheSameBytes) {
    std::string first;
    std::string second;
    command({kDir + "/websocket-upgrade-refused.json"}, &first);
    command({kDir + "/websocket-upgrade-refused.json"}, &second);
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(first, second);
}

TEST(ScenarioRunner, CommandExitStatuses) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;  // on standard output, or on standard error for status 2
    } rows[] = {
        {{"--version"}, kExitHeld, "(scenario format 1)"},
        {{"--help"}, kExitHeld, "usage: veska-sim"},
        {{}, kExitBadInput, "usage: veska-sim"},
        {{"--verbose", kDir + "/delete-at-field-start.json"}, kExitBadInput, "unknown option --verbose"},
        {{"a.json", "b.json"}, kExitBadInput, "one scenario file at a time"},
        {{kDir + "/missing.json"}, kExitBadInput, "missing.json: cannot be opened"},
        {{kDir}, kExitBadInput, "cannot be read"},
        {{kDir + "/malformed/unknown-version.json"}, kExitBadInput, "version: this veska-sim reads"},
        {{"--check", kDir + "/delete-at-field-start.json"}, kExitHeld, ""},
        {{"--check", kDir + "/failing/wrong-field-text.json"}, kExitFailed, "\"ok\":false"},
    };
    for (const auto& row : rows) {
        std::string out;
        std::string err;
        EXPECT_EQ(command(row.args, &out, &err), row.status) << (row.args.empty() ? "" : row.args.back());
        const std::string& shown = row.status == kExitBadInput ? err : out;
        EXPECT_NE(shown.find(row.says), std::string::npos) << shown;
        if (row.status == kExitBadInput) EXPECT_TRUE(out.empty()) << "no trace for a refused run: " << out;
    }
}

TEST(ScenarioRunner, CheckModePrintsNothingWhenEverythingHolds) {
    std::string out;
    EXPECT_EQ(command({"--check", kDir + "/switch-app-before-posted-key.json"}, &out), kExitHeld);
    EXPECT_EQ(out, "");
}

TEST(ScenarioRunner, ASlowApplicationPastesWhatTheClipboardHoldsWhenItGetsToTheKey) {
    const std::string desktop = R"({"pasteboard": {"text": "old"}, "apps": [{"name": "Slow", "frontmost": true, "keyDelay": 0.3,
        "windows": [{"children": [{"role": "AXTextArea", "text": "", "focused": true}]}]}]})";
    const Played r = run(R"([
        {"at": 1.0, "post": "command+v"},
        {"at": 1.1, "copy": "new"},
        {"at": 1.29, "expect": {"field": "Slow", "text": ""}},
        {"at": 2.0, "expect": {"field": "Slow", "text": "new"}}
    ])", "[]", desktop);
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
    const auto fields = r.events("field");
    ASSERT_EQ(fields.size(), 2u) << r.trace;
    EXPECT_EQ(fields[1]["t"].dump(), "1.3") << "the change shows when the application acted";
    EXPECT_EQ(r.events("keyHandled").at(0)["t"].dump(), "1.3");
}

TEST(ScenarioRunner, TypingGoesThroughKeysAndCommitsWhatHasNoKey) {
    const Played r = run(R"([
        {"at": 0.5, "type": "Xin chào"},
        {"expect": {"field": "Notes", "text": "Xin chào"}},
        {"expect": {"keysReceived": "Notes", "keys": ["shift+x", "i", "n", "space", "c", "h", "o"]}},
        {"expect": {"field": {"app": "Notes", "title": "To"}, "text": ""}},
        {"expect": {"field": "Mail", "text": ""}}
    ])");
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
    const auto fields = r.events("field");
    ASSERT_EQ(fields.size(), 4u) << "three at the start, one for the typing: " << r.trace;
    EXPECT_EQ(fields[3]["text"], "Xin chào");
    EXPECT_EQ(fields[3]["t"].dump(), "0.5");
}

TEST(ScenarioRunner, FocusAndActivateMoveWhereKeysLand) {
    const Played r = run(R"([
        {"at": 0.1, "focus": {"app": "Notes", "title": "To"}},
        {"type": "an"},
        {"activate": 400},
        {"type": "b"},
        {"expect": {"field": {"app": "Notes", "title": "To"}, "text": "an"}},
        {"expect": {"field": {"app": "Notes", "title": "Body"}, "text": ""}},
        {"expect": {"field": "Mail", "text": "b"}},
        {"expect": {"front": "Mail"}},
        {"select": "all"},
        {"expect": {"field": "Mail", "selection": [0, 1]}}
    ])");
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
}

TEST(ScenarioRunner, PostedKeysNeedInputMonitoringUnlessTheAutomationServiceTypesThem) {
    const struct {
        const char* via;
        bool permitted;
        const char* text;
        const char* traced;
    } rows[] = {
        {"events", true, "A", "keyPosted"},
        {"events", false, "", "keyPostDropped"},
        {"automation", false, "A", "keyPosted"},
    };
    for (const auto& row : rows) {
        const std::string desktop = std::string(R"({"pasteboard": {"text": "A"}, "permissions": {"inputMonitoring": )") +
                                    (row.permitted ? "true" : "false") + R"(}, "apps": [{"name": "Notes", "frontmost": true,
            "windows": [{"children": [{"role": "AXTextArea", "text": "", "focused": true}]}]}]})";
        const Played r = run(std::string(R"([{"post": "command+v", "via": ")") + row.via + R"("},
            {"expect": {"field": "Notes", "text": ")" + row.text + R"("}}])", "[]", desktop);
        EXPECT_EQ(r.result.failures, 0u) << row.via << " " << row.permitted << "\n" << r.trace;
        EXPECT_EQ(r.events(row.traced).size(), 4u) << r.trace;
    }
}

TEST(ScenarioRunner, FailedExpectationsShowWhatWasExpectedAndWhatWasSeen) {
    const Played r = run(R"([
        {"at": 0.2, "copy": "B"},
        {"expect": {"clipboard": "C"}},
        {"expect": {"front": null}},
        {"expect": {"keysReceived": "Mail", "keys": ["v"]}}
    ])");
    EXPECT_EQ(r.result.expectations, 3u);
    EXPECT_EQ(r.result.failures, 3u);
    const auto expects = r.events("expect");
    ASSERT_EQ(expects.size(), 3u);
    EXPECT_EQ(expects[0]["expected"], json({{"text", "C"}}));
    EXPECT_EQ(expects[0]["actual"], json({{"text", "B"}}));
    EXPECT_EQ(expects[1]["actual"], json({{"app", "Notes"}}));
    EXPECT_EQ(expects[2]["actual"], json({{"keys", json::array()}}));
    EXPECT_EQ(r.events("end").at(0)["failures"], 3);
}

TEST(ScenarioRunner, StepsThatCannotBePerformedFailTheRun) {
    const std::string services = R"([{"origin": "wss://v.test", "endpoints": [{"path": "/ws",
        "behaviour": {"handshake": "refuse", "status": 401}}]}])";
    const Played r = run(R"([
        {"connect": {"id": "s", "url": "wss://v.test/ws"}},
        {"wait": 0.1},
        {"send": {"to": "s", "text": "hello"}},
        {"disconnect": "s"},
        {"cancel": "s"},
        {"select": [5, 0]}
    ])", services);
    EXPECT_EQ(r.result.failures, 4u) << r.trace;
    EXPECT_EQ(r.events("stepFailed").size(), 4u);
    EXPECT_EQ(r.events("wsError").at(0)["status"], 401);
}

const char* const kSlowStream = R"([{"origin": "https://api.test", "routes": [{"path": "/stream", "behaviour": {
    "pieces": [{"after": 0.2, "text": "one"}, {"after": 0.2, "text": "two"}, {"after": 4, "text": "three"}]}}]}])";

TEST(ScenarioRunner, CancellingARequestStopsItsBodyAndTheServerSeesIt) {
    const Played r = run(R"([
        {"at": 1, "request": {"id": "r", "url": "https://api.test/stream"}},
        {"at": 1.3, "cancel": "r"},
        {"wait": 1},
        {"expect": {"response": "r", "body": "one", "error": "cancelled", "ended": false}},
        {"cancel": "r"}
    ])", kSlowStream);
    EXPECT_EQ(r.result.failures, 1u) << "only the second cancel fails: " << r.trace;
    EXPECT_EQ(r.events("responseBody").size(), 1u);
    const auto ended = r.events("requestEnded");
    ASSERT_EQ(ended.size(), 1u) << r.trace;
    EXPECT_EQ(ended[0]["state"], "cancelled");
    EXPECT_EQ(ended[0]["t"].dump(), "1.3");
}

TEST(ScenarioRunner, RequestsEndingOutOfOrderAreEachReportedOnce) {
    const std::string services = R"([{"origin": "https://api.test", "routes": [
        {"path": "/slow", "behaviour": {"pieces": [{"after": 1, "text": "s"}]}},
        {"path": "/fast", "behaviour": {"body": "f"}}]}])";
    const Played r = run(R"([
        {"request": {"id": "a", "url": "https://api.test/slow"}},
        {"at": 0.1, "request": {"id": "b", "url": "https://api.test/fast"}},
        {"at": 0.2, "request": {"id": "c", "url": "https://api.test/fast"}},
        {"at": 2, "expect": {"requests": {"server": "https://api.test", "path": "/fast"}, "count": 2}}
    ])", services);
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
    std::vector<std::pair<std::string, int>> ended;
    for (const auto& e : r.events("requestEnded")) ended.emplace_back(e["t"].dump(), e["n"].get<int>());
    EXPECT_EQ(ended, (std::vector<std::pair<std::string, int>>{{"0.1", 1}, {"0.2", 2}, {"1.0", 0}}));
    EXPECT_EQ(r.events("request").size(), 3u);
}

TEST(ScenarioRunner, TheRunEndsWithItsLastStep) {
    const Played r = run(R"([{"at": 1, "request": {"id": "r", "url": "https://api.test/stream"}}, {"at": 2, "wait": 0}])",
                      kSlowStream);
    EXPECT_EQ(r.events("responseBody").size(), 2u) << "the piece due at 5.4 s never comes: " << r.trace;
    EXPECT_EQ(r.events("end").at(0)["t"].dump(), "2.0");
}

TEST(ScenarioRunner, AnOriginNoServerHoldsFailsLikeTheNetwork) {
    const Played r = run(R"([{"request": {"id": "r", "url": "https://nowhere.test/"}},
                          {"expect": {"response": "r", "error": "network failure", "status": 0}}])");
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
}

TEST(ScenarioRunner, SecretsNeverReachTheTrace) {
    const std::string services = R"([
        {"origin": "https://api.test", "secrets": ["tok-SECRET"], "routes": [{"path": "/v1", "behaviour": {
            "headers": {"Set-Cookie": "sid=abcdef"}, "body": "echo tok-SECRET"}}]},
        {"origin": "wss://v.test", "sensitiveHeaders": ["X-Api-Token"], "endpoints": [{"path": "/ws", "behaviour": {
            "steps": [{"text": "you are tok-SECRET"}]}}]}])";
    const Played r = run(R"([
        {"copy": "tok-SECRET"},
        {"post": "command+v"},
        {"request": {"url": "https://api.test/v1?key=tok-SECRET", "method": "POST",
                     "headers": {"Authorization": "Basic xyz789"}, "body": "tok-SECRET"}},
        {"connect": {"url": "wss://v.test/ws", "protocols": ["bearer.qwe456"],
                     "headers": {"X-Api-Token": "plain-qwe", "Cookie": "a=b"}}},
        {"wait": 0.1},
        {"expect": {"field": "Notes", "text": "tok-SECRET!"}}
    ])", services);
    ASSERT_EQ(r.result.failures, 1u) << "the failed expectation prints both sides: " << r.trace;
    for (const char* secret : {"tok-SECRET", "abcdef", "xyz789", "qwe456", "plain-qwe"}) {
        EXPECT_EQ(r.trace.find(secret), std::string::npos) << secret << " leaked:\n" << r.trace;
    }
    EXPECT_EQ(r.events("responseBody").at(0)["data"], "echo [masked]");
}

TEST(ScenarioRunner, ReferencesAreCheckedBeforeAnythingRuns) {
    const struct {
        std::string steps;
        std::string services;
        const char* says;
    } rows[] = {
        {R"([{"focus": {"app": "Notes", "title": "Cc"}}])", "[]", "steps[0].focus: the application holds no text element titled \"Cc\""},
        {R"([{"focus": {"element": 2}}])", "[]", "steps[0].focus: element 2 is not a text element"},
        {R"([{"wait": 1}, {"expect": {"keysReceived": 999, "keys": []}}])", "[]", "steps[1].expect.keysReceived: no single running application is process 999"},
        {R"([{"expect": {"requests": "https://other.test", "count": 0}}])", "[]", "steps[0].expect.requests: no HTTP server"},
        {R"([{"insert": {"text": "a", "app": "Pages"}}])", "[]", "steps[0].insert.app: no single running application is \"Pages\""},
        {R"([{"liveStart": {"app": 999}}])", "[]", "steps[0].liveStart.app: no single running application is process 999"},
        {"[]", R"([{"origin": "https://a.test", "routes": [{"path": "/", "behaviour": {"pieces": [{"text": "x", "base64": "eA=="}]}}]}])",
         "services[0].routes[0].behaviour.pieces[0]: give \"text\" or \"base64\""},
    };
    for (const auto& row : rows) {
        try {
            run(row.steps, row.services);
            ADD_FAILURE() << "accepted: " << row.steps;
        } catch (const ScenarioError& error) {
            EXPECT_NE(std::string(error.what()).find(row.says), std::string::npos) << error.what();
        }
    }
}

TEST(ScenarioRunner, AppsWithTheSameNameMustBeNamedByPid) {
    const std::string desktop = R"({"apps": [{"pid": 5, "name": "Code"}, {"pid": 6, "name": "Code"}]})";
    EXPECT_THROW(run(R"([{"activate": "Code"}])", "[]", desktop), ScenarioError);
    EXPECT_EQ(run(R"([{"activate": 6}, {"expect": {"front": 6}}])", "[]", desktop).result.failures, 0u);
}

/// Notes in front with a field accessibility writes; Mail behind, which only takes keys.
const char* const kWritableDesktop = R"({
  "permissions": {"accessibility": true, "inputMonitoring": true},
  "pasteboard": {"text": "A"},
  "apps": [
    {"pid": 300, "name": "Notes", "bundleIdentifier": "com.example.Notes", "frontmost": true, "windows": [{"children": [
      {"role": "AXTextArea", "title": "Body", "text": "abc tok-SECRET", "selection": [4, 10], "focused": true,
       "editable": true, "settable": ["AXValue", "AXSelectedText", "AXSelectedTextRange", "AXFocused"]}]}]},
    {"pid": 400, "name": "Mail", "bundleIdentifier": "com.example.Mail", "activationDelay": 0.1, "windows": [{"children": [
      {"role": "AXTextArea", "text": "", "focused": true, "editable": true, "settable": []}]}]}
  ]})";

TEST(ScenarioRunner, DesktopOperationsReportTheirResultsWhenTheyEnd) {
    const struct {
        const char* steps;
        const char* event;     // the result line
        const char* member;    // one of its members
        json value;            // and its value
        const char* t;         // when it came
    } rows[] = {
        {R"([{"at": 1, "lookup": {}}, {"wait": 1}])", "selection", "source", "selection", "1.0"},
        {R"([{"at": 1, "lookup": {"axOnly": true}}, {"wait": 1}])", "selection", "cut", false, "1.0"},
        {R"([{"at": 1, "insert": {"text": "x"}}, {"wait": 1}])", "inserted", "ok", true, "1.03"},
        {R"([{"at": 1, "insert": {"text": ""}}, {"wait": 1}])", "inserted", "ok", false, "1.0"},
        {R"([{"at": 1, "insert": {"text": "x", "app": "Mail"}}, {"wait": 2}])", "inserted", "ok", true, "1.38"},
        {R"([{"liveStart": {}}, {"liveUpdate": "a"}, {"at": 1, "liveSettle": "ab"}, {"wait": 1}])", "settled", "ok", true,
         "1.0"},
        {R"([{"liveStart": {"app": "Mail"}}, {"at": 1, "liveSettle": "ab"}, {"wait": 3}])", "settled", "ok", true,
         "1.295"},
        {R"([{"liveStart": {}}, {"liveUpdate": "a"}, {"at": 1, "liveRetract": {}}, {"wait": 1}])", "retracted", "step",
         2, "1.0"},
    };
    for (const auto& row : rows) {
        const Played r = run(row.steps, "[]", kWritableDesktop);
        EXPECT_EQ(r.result.failures, 0u) << row.steps << "\n" << r.trace;
        const auto lines = r.events(row.event);
        ASSERT_EQ(lines.size(), 1u) << row.steps << "\n" << r.trace;
        EXPECT_EQ(lines[0][row.member], row.value) << row.steps << "\n" << r.trace;
        EXPECT_EQ(lines[0]["t"].dump(), row.t) << row.steps << "\n" << r.trace;
    }
}

TEST(ScenarioRunner, AnOperationStillRunningAtTheEndFailsTheRunWithoutWaitingForIt) {
    const Played r = run(R"([{"at": 1, "insert": {"text": "x", "app": "Mail"}}, {"lookup": {}}])", "[]", kWritableDesktop);
    EXPECT_EQ(r.result.failures, 1u) << r.trace;
    const auto failed = r.events("stepFailed");
    ASSERT_EQ(failed.size(), 1u) << r.trace;
    EXPECT_EQ(failed[0]["step"], 0);
    EXPECT_EQ(failed[0]["reason"], "insert was still running when the scenario ended");
    EXPECT_TRUE(r.events("inserted").empty());
    EXPECT_EQ(r.events("selection").size(), 1u) << "the look-up ended in the same instant";
    EXPECT_EQ(r.events("end").at(0)["t"].dump(), "1.0");
}

TEST(ScenarioRunner, TheLastLookupIsWhatTheExpectationSees) {
    const Played r = run(R"([
        {"expect": {"lookup": null}},
        {"lookup": {}},
        {"expect": {"lookup": "tok-SECRET", "source": "selection"}},
        {"select": [0, 0]},
        {"lookup": {"axOnly": true}},
        {"expect": {"lookup": null}},
        {"expect": {"lookup": "abc"}}
    ])", R"([{"origin": "https://api.test", "secrets": ["tok-SECRET"], "routes": []}])", kWritableDesktop);
    EXPECT_EQ(r.result.failures, 2u) << "before any look-up, and the wrong text: " << r.trace;
    const auto expects = r.events("expect");
    ASSERT_EQ(expects.size(), 4u);
    EXPECT_EQ(expects[0]["actual"], json({{"lookup", "none finished"}}));
    EXPECT_TRUE(expects[1]["ok"]);
    EXPECT_TRUE(expects[2]["ok"]);
    EXPECT_EQ(expects[3]["actual"], json({{"text", nullptr}}));
    EXPECT_EQ(r.events("selection").at(0)["text"], "[masked]") << "found text is masked like any user text";
    EXPECT_EQ(r.trace.find("tok-SECRET"), std::string::npos) << r.trace;
}

TEST(ScenarioRunner, ALookupSaysWhyItFoundNothing) {
    const std::string longText(15'001, 'a');
    const struct {
        std::string desktop;
        const char* step;
        const char* flag;  // the one flag that is true
    } rows[] = {
        {R"({"permissions": {"accessibility": false}, "apps": [{"name": "Notes", "frontmost": true, "windows": [
            {"children": [{"role": "AXTextArea", "text": "abc", "selection": [0, 3], "focused": true}]}]}]})",
         R"({"lookup": {}})", "blind"},
        {R"({"permissions": {"accessibility": false}, "apps": [{"name": "Notes", "frontmost": true, "windows": [
            {"children": [{"role": "AXTextArea", "text": "abc", "selection": [0, 3], "focused": true}]}]}]})",
         R"({"lookup": {"axOnly": true}})", "blind"},
        {R"({"permissions": {"accessibility": true, "inputMonitoring": true}, "apps": [{"name": "Notes",
            "bundleIdentifier": "com.example.Notes", "frontmost": true, "windows": [{"children": [
            {"role": "AXTextArea", "text": ")" + longText + R"(", "selection": [0, 15001], "focused": true}]}]}]})",
         R"({"lookup": {}})", "oversized"},
    };
    for (const auto& row : rows) {
        const Played r = run("[" + std::string(row.step) + R"(, {"wait": 2}, {"expect": {"lookup": null}}])", "[]", row.desktop);
        EXPECT_EQ(r.result.failures, 0u) << row.step << "\n" << r.trace;
        const auto found = r.events("selection");
        ASSERT_EQ(found.size(), 1u) << r.trace;
        EXPECT_EQ(found[0]["text"], nullptr);
        EXPECT_EQ(found[0]["source"], nullptr);
        for (const char* flag : {"blind", "oversized"}) {
            EXPECT_EQ(found[0][flag], std::string(flag) == row.flag) << flag << " for " << row.step << "\n" << r.trace;
        }
    }
}

TEST(ScenarioRunner, EachDictationTypesIntoItsOwnTarget) {
    const Played r = run(R"([
        {"liveStart": {}}, {"liveUpdate": "one"}, {"liveSettle": "one"},
        {"wait": 1},
        {"liveStart": {"app": "Mail"}}, {"liveUpdate": "two"}, {"liveSettle": "two"},
        {"wait": 2},
        {"expect": {"field": "Notes", "text": "abc one"}},
        {"expect": {"field": "Mail", "text": "two"}},
        {"expect": {"keysReceived": "Notes", "keys": []}}
    ])", "[]", kWritableDesktop);
    EXPECT_EQ(r.result.failures, 0u) << r.trace;
    EXPECT_EQ(r.events("settled").size(), 2u);
}

}  // namespace
}  // namespace veska::scenario
