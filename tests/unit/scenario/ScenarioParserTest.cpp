// Reading scenario files: what is accepted, and every kind of mistake refused with its place.
#include <gtest/gtest.h>

#include <string>

#include "main/scenario/ScenarioParser.h"

namespace veska::scenario {
namespace {

/// A scenario file whose steps are `steps` (a JSON list), with one app and two servers.
std::string withSteps(const std::string& steps) {
    return R"({"version": 1,
      "desktop": {"apps": [{"pid": 300, "name": "Notes", "frontmost": true}]},
      "services": [{"origin": "https://api.test", "routes": [{"path": "/v1", "behaviour": {"status": 200}}]},
                   {"origin": "wss://voice.test", "endpoints": [{"path": "/ws", "behaviour": {}}]}],
      "steps": )" + steps + "}";
}

std::string errorOf(const std::string& text) {
    try {
        parseScenarioText(text);
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(ScenarioParser, BadFilesAreRefusedNamingThePlace) {
    const struct {
        std::string text;
        std::string says;
    } rows[] = {
        {"[1]", "top level: must be an object"},
        {R"({"steps": []})", "top level: needs \"version\""},
        {R"({"version": "1", "steps": []})", "version: this veska-sim reads scenario format version 1 only"},
        {R"({"version": 2, "steps": []})", "version: this veska-sim reads scenario format version 1 only"},
        {R"({"version": 1, "stpes": []})", "top level: unknown field \"stpes\""},
        {R"({"version": 1})", "top level: needs \"steps\""},
        {R"({"version": 1, "desktop": [], "steps": []})", "desktop: must be an object"},
        {withSteps(R"([{"wait": 1, "copy": "x"}])"), "steps[0]: holds both \"copy\" and \"wait\""},
        {withSteps(R"([{"at": 1}])"), "steps[0]: needs one step kind"},
        {withSteps(R"([{"wait": 1}, {"tap": "v"}])"), "steps[1]: unknown step kind \"tap\""},
        {withSteps(R"([{"wait": 1, "field": "x"}])"), "steps[0]: unknown field \"field\""},
        {withSteps(R"([{"at": -1, "wait": 1}])"), "steps[0].at: must be a number of seconds from 0 to 86400"},
        {withSteps(R"([{"at": "soon", "wait": 1}])"), "steps[0].at: must be a number of seconds"},
        {withSteps(R"([{"wait": 86400}, {"wait": 0.001}])"), "steps[1].wait: takes the scenario past one day"},
        {withSteps(R"([{"at": 2, "wait": 1}, {"at": 2.5, "wait": 1}])"), "steps[1].at: comes before the time"},
        {withSteps(R"([{"key": "hyper"}])"), "steps[0].key: unknown key \"hyper\""},
        {withSteps(R"([{"key": "v+command"}])"), "steps[0].key: \"v\" is not a modifier"},
        {withSteps(R"([{"key": "command+command+v"}])"), "names the modifier \"command\" twice"},
        {withSteps(R"([{"key": "command+"}])"), "key names joined by \"+\""},
        {withSteps(R"([{"key": "command+v", "action": "press"}])"), "only a tap takes a chord"},
        {withSteps(R"([{"key": "v", "action": "hold"}])"), "steps[0].action: is \"tap\", \"press\""},
        {withSteps(R"([{"post": []}])"), "steps[0].post: posts no key"},
        {withSteps(R"([{"post": [{"key": "command+v", "down": true}]}])"), "names one key; give modifiers in \"flags\""},
        {withSteps(R"([{"post": [{"key": "v", "down": true, "flags": ["v"]}]}])"), "flags[0]: is not a modifier"},
        {withSteps(R"([{"post": [{"key": "v"}]}])"), "steps[0].post[0]: needs \"down\""},
        {withSteps(R"([{"post": "v", "via": "telepathy"}])"), "steps[0].via: is \"events\""},
        {withSteps(R"([{"select": [1]}])"), "steps[0].select: is a range [location, length]"},
        {withSteps(R"([{"select": "some"}])"), "steps[0].select: is a range [location, length] or \"all\""},
        {withSteps(R"([{"select": [0, -1]}])"), "steps[0].select[1]: must be between 0 and"},
        {withSteps(R"([{"copy": {}}])"), "steps[0].copy: copies nothing"},
        {withSteps(R"([{"activate": ""}])"), "steps[0].activate: names no application"},
        {withSteps(R"([{"activate": true}])"), "steps[0].activate: is an application's name"},
        {withSteps(R"([{"focus": {"element": 4, "app": "Notes"}}])"), "names an element by \"element\" alone"},
        {withSteps(R"([{"request": {"method": "GET"}}])"), "steps[0].request: needs \"url\""},
        {withSteps(R"([{"request": {"url": "https://api.test/v1", "methd": "GET"}}])"), "unknown field \"methd\""},
        {withSteps(R"([{"request": {"url": "https://api.test/v1", "method": "FETCH"}}])"), "request.method: is one of GET"},
        {withSteps(R"([{"request": {"url": "x", "headers": [["Accept"]]}}])"), "request.headers[0]: is a header field"},
        {withSteps(R"([{"request": {"url": "x", "headers": {"Accept": 5}}}])"), "request.headers.Accept: must be a string"},
        {withSteps(R"([{"request": {"url": "x", "timeout": 1e9}}])"), "request.timeout: must be a number of seconds"},
        {withSteps(R"([{"request": {"id": "a", "url": "x"}}, {"request": {"id": "a", "url": "x"}}])"),
         "steps[1].request.id: is already the id of an earlier step"},
        {withSteps(R"([{"request": {"id": "request2", "url": "x"}}, {"request": {"url": "x"}}])"),
         "steps[1].request: needs an \"id\": its default \"request2\" is taken"},
        {withSteps(R"([{"connect": {"id": "a", "url": "x"}}, {"request": {"id": "a", "url": "x"}}])"),
         "steps[1].request.id: is already the id"},
        {withSteps(R"([{"send": {"to": "later", "text": "hi"}}, {"connect": {"id": "later", "url": "x"}}])"),
         "steps[0].send.to: names no connection"},
        {withSteps(R"([{"connect": {"url": "x"}}, {"send": {"to": "socket1", "text": "a", "binary": "b"}}])"),
         "steps[1].send: holds both \"text\" and \"binary\""},
        {withSteps(R"([{"connect": {"url": "x"}}, {"disconnect": "socket1", "code": 1005}])"),
         "steps[1].code: is not a close code a client may send"},
        {withSteps(R"([{"connect": {"url": "x"}}, {"disconnect": "socket1", "reason": ")" + std::string(124, 'r') + R"("}])"),
         "steps[1].reason: is longer than 123 bytes"},
        {withSteps(R"([{"cancel": "nothing"}])"), "steps[0].cancel: names no request or connection"},
        {withSteps(R"([{"swallowEscape": "yes"}])"), "steps[0].swallowEscape: must be"},
        {withSteps(R"([{"suppressFn": -0.8}])"), "steps[0].suppressFn: must be a number of seconds"},
        {withSteps(R"([{"disableTap": "permission"}])"), "steps[0].disableTap: is \"timeout\" or \"userInput\""},
        {withSteps(R"([{"expect": {"gestures": "onCancel"}}])"), "steps[0].expect.gestures: must be"},
        {withSteps(R"([{"expect": {"gestures": ["onCancel", "onSTTtoggle"]}}])"), "expect.gestures[1]: is not a gesture"},
        {withSteps(R"([{"expect": {}}])"), "steps[0].expect: needs one subject"},
        {withSteps(R"([{"expect": {"clipboard": "a", "front": "Notes"}}])"), "holds both \"clipboard\" and \"front\""},
        {withSteps(R"([{"expect": {"field": "Notes"}}])"), "steps[0].expect: checks nothing"},
        {withSteps(R"([{"expect": {"clipboard": 3}}])"), "steps[0].expect.clipboard: must be a string"},
        {withSteps(R"([{"expect": {"field": "Notes", "txt": "a"}}])"), "unknown field \"txt\""},
        {withSteps(R"([{"expect": {"keysReceived": "Notes", "keys": ["command+hyper"]}}])"), "keys[0]: unknown key"},
        {withSteps(R"([{"expect": {"requests": "https://api.test"}}])"), "steps[0].expect: checks nothing"},
        {withSteps(R"([{"expect": {"requests": "api.test", "count": 1}}])"), "expect.requests: is the origin of a server"},
        {withSteps(R"([{"expect": {"response": "r", "status": 200}}, {"request": {"id": "r", "url": "x"}}])"),
         "steps[0].expect.response: names no request"},
        {withSteps(R"([{"connect": {"url": "x"}}, {"expect": {"websocket": "socket1", "state": "half"}}])"),
         "expect.state: is \"connecting\", \"open\", \"closed\" or \"failed\""},
        {R"({"version": 1, "services": [{"origin": "https://api.test/v1", "routes": []}], "steps": []})",
         "services[0].origin: is an http, https, ws or wss origin without a path"},
        {R"({"version": 1, "services": [{"origin": "ftp://files.test", "routes": []}], "steps": []})",
         "services[0].origin: is an http, https, ws or wss origin without a path"},
        {R"({"version": 1, "services": [{"origin": "wss://v.test", "routes": []}], "steps": []})",
         "services[0].routes: belong to an http or https origin"},
        {R"({"version": 1, "services": [{"origin": "https://a.test", "routes": []},
                                        {"origin": "https://A.test:443", "routes": []}], "steps": []})",
         "services[1].origin: is the origin of an earlier server"},
        {R"({"version": 1, "services": [{"origin": "https://a.test", "routes": [{"path": "/x"}]}], "steps": []})",
         "services[0].routes[0]: give \"behaviour\" or \"behaviours\""},
        {R"({"version": 1, "services": [{"origin": "wss://v.test", "endpoints": [{"path": "/x",
              "behaviour": {"steps": [{"text": "a", "close": 1000}]}}]}], "steps": []})",
         "services[0].endpoints[0].behaviour.steps[0]: a step is exactly one of"},
        {withSteps(R"([{"lookup": true}])"), "steps[0].lookup: must be an object"},
        {withSteps(R"([{"lookup": {"axonly": true}}])"), "steps[0].lookup: unknown field \"axonly\""},
        {withSteps(R"([{"lookup": {"axOnly": "yes"}}])"), "steps[0].lookup.axOnly: must be"},
        {withSteps(R"([{"insert": "hello"}])"), "steps[0].insert: must be an object"},
        {withSteps(R"([{"insert": {"app": "Notes"}}])"), "steps[0].insert: needs \"text\""},
        {withSteps(R"([{"insert": {"text": 5}}])"), "steps[0].insert.text: must be a string"},
        {withSteps(R"([{"insert": {"text": "a", "app": ""}}])"), "steps[0].insert.app: names no application"},
        {withSteps(R"([{"insert": {"text": "a", "into": "Notes"}}])"), "unknown field \"into\""},
        {withSteps(R"([{"insert": {"text": ")" + std::string(100'001, 'a') + R"("}}])"), "insert.text: is longer than"},
        {withSteps(R"([{"liveStart": "Notes"}])"), "steps[0].liveStart: must be an object"},
        {withSteps(R"([{"liveStart": {"target": "Notes"}}])"), "steps[0].liveStart: unknown field \"target\""},
        {withSteps(R"([{"liveStart": {}}, {"liveStart": {}}])"), "steps[1].liveStart: starts a dictation while"},
        {withSteps(R"([{"liveUpdate": "a"}])"), "steps[0].liveUpdate: needs a \"liveStart\" above it"},
        {withSteps(R"([{"liveSettle": "a"}])"), "steps[0].liveSettle: needs a \"liveStart\" above it"},
        {withSteps(R"([{"liveRetract": {}}])"), "steps[0].liveRetract: needs a \"liveStart\" above it"},
        {withSteps(R"([{"liveStart": {}}, {"liveRetract": {}}, {"liveRetract": {}}])"), "steps[2].liveRetract: needs a"},
        {withSteps(R"([{"liveStart": {}}, {"liveSettle": "a"}, {"liveUpdate": "b"}])"), "steps[2].liveUpdate: needs a"},
        {withSteps(R"([{"liveStart": {}}, {"liveUpdate": ["a"]}])"), "steps[1].liveUpdate: must be a string"},
        {withSteps(R"([{"liveStart": {}}, {"liveSettle": null}])"), "steps[1]: needs \"liveSettle\""},
        {withSteps(R"([{"liveStart": {}}, {"liveRetract": {"restore": false}}])"), "unknown field \"restore\""},
        {withSteps(R"([{"liveStart": {}}, {"liveRetract": []}])"), "steps[1].liveRetract: must be an object"},
        {withSteps(R"([{"liveStart": {}}, {"liveUpdate": "a", "app": "Notes"}])"), "steps[1]: unknown field \"app\""},
        {withSteps(R"([{"expect": {"lookup": 3}}])"), "steps[0].expect.lookup: must be a string"},
        {withSteps(R"([{"expect": {"lookup": "a", "source": "screen"}}])"), "expect.source: is \"selection\""},
        {withSteps(R"([{"expect": {"lookup": "a", "text": "a"}}])"), "unknown field \"text\""},
        {"{\n  \"version\": 1,\n  \"steps\": [}\n", "line 3, column 13: not valid JSON"},
        {std::string(kMaxScenarioBytes + 1, ' '), "the file is larger than 16 MiB"},
    };
    for (const auto& row : rows) {
        const std::string error = errorOf(row.text);
        EXPECT_NE(error.find(row.says), std::string::npos) << row.text.substr(0, 300) << "\n  gave: " << error;
    }
}

TEST(ScenarioParser, ErrorsNeverQuoteTheValuesTheyRefuse) {
    const std::string rows[] = {
        R"({"version": 1, "steps": [{"copy": "sk-SECRET-1)",
        withSteps(R"([{"request": {"url": "x", "headers": {"Authorization": ["sk-SECRET-1"]}}}])"),
        withSteps(R"([{"request": {"url": "x", "headers": [["Cookie", "sk-SECRET-1", "x"]]}}])"),
        withSteps(R"([{"request": {"url": "x", "body": {"key": "sk-SECRET-1"}}}])"),
    };
    for (const auto& text : rows) {
        const std::string error = errorOf(text);
        EXPECT_NE(error, "(accepted)");
        EXPECT_EQ(error.find("SECRET"), std::string::npos) << error;
    }
}

TEST(ScenarioParser, ReadsStepsWithTheirTimesIdsAndDefaults) {
    const Scenario scenario = parseScenarioText(withSteps(R"([
        {"at": 0.5, "note": "user pastes", "key": "command+v"},
        {"wait": 0.25},
        {"at": 0.75, "post": [{"key": "control", "down": false}], "via": "automation"},
        {"request": {"url": "https://api.test/v1", "method": "POST", "headers": [["X-A", "1"], ["X-A", "2"]]}},
        {"connect": {"url": "wss://voice.test/ws", "protocols": ["a", "b"], "timeout": 5}},
        {"request": {"id": "second", "url": "https://api.test/v1"}},
        {"select": "all", "field": {"app": 300, "title": "Body"}},
        {"expect": {"clipboard": null}},
        {"expect": {"front": null}},
        {"cancel": "second"}
    ])"));
    ASSERT_EQ(scenario.steps.size(), 10u);
    EXPECT_EQ(scenario.steps[0].at, 0.5);
    EXPECT_FALSE(scenario.steps[1].at.has_value()) << "a step without \"at\" follows the one before";
    const auto& key = std::get<UserKey>(scenario.steps[0].action);
    EXPECT_EQ(key.chord.key, ports::keys::kV);
    EXPECT_EQ(key.chord.modifiers(), ports::flags::kCommand);
    const auto& post = std::get<PostKeys>(scenario.steps[2].action);
    EXPECT_TRUE(post.viaAutomation);
    EXPECT_EQ(post.keys, (std::vector<ports::SyntheticKey>{{ports::keys::kControl, false, 0}}));
    const auto& request = std::get<SendRequest>(scenario.steps[3].action);
    EXPECT_EQ(request.id, "request1");
    EXPECT_EQ(request.request.headers.values("x-a"), (std::vector<std::string>{"1", "2"})) << "order and repeats kept";
    const auto& connect = std::get<Connect>(scenario.steps[4].action);
    EXPECT_EQ(connect.id, "socket1");
    EXPECT_EQ(connect.request.timeoutSeconds, 5);
    const auto& select = std::get<Select>(scenario.steps[6].action);
    EXPECT_FALSE(select.range.has_value()) << "\"all\" selects the whole text";
    EXPECT_EQ(select.field->app.pid, 300);
    EXPECT_FALSE(std::get<ExpectClipboard>(std::get<Expect>(scenario.steps[7].action).what).text.has_value());
    EXPECT_FALSE(std::get<ExpectFront>(std::get<Expect>(scenario.steps[8].action).what).app.has_value());
    EXPECT_EQ(std::get<Cancel>(scenario.steps[9].action).id, "second");
}

TEST(ScenarioParser, ReadsTheGestureStepsAndExpectation) {
    const Scenario scenario = parseScenarioText(withSteps(R"([
        {"swallowEscape": true}, {"suppressFn": 0.8}, {"disableTap": "userInput"},
        {"expect": {"gestures": ["onSTTHoldStart", "onSTTHoldEnd"]}}
    ])"));
    ASSERT_EQ(scenario.steps.size(), 4u);
    EXPECT_TRUE(std::get<SwallowEscape>(scenario.steps[0].action).on);
    EXPECT_EQ(std::get<SuppressFn>(scenario.steps[1].action).seconds, 0.8);
    EXPECT_EQ(std::get<DisableTap>(scenario.steps[2].action).notice, ports::KeyEventKind::tapDisabledByUserInput);
    EXPECT_EQ(std::get<ExpectGestures>(std::get<Expect>(scenario.steps[3].action).what).names,
              (std::vector<std::string>{"onSTTHoldStart", "onSTTHoldEnd"}));
}

TEST(ScenarioParser, ReadsTheSelectionInsertionAndLiveTypingSteps) {
    const Scenario scenario = parseScenarioText(withSteps(R"([
        {"lookup": {}}, {"lookup": {"axOnly": true}},
        {"insert": {"text": "xin chào"}}, {"insert": {"text": "a", "app": 300}},
        {"liveStart": {"app": "Notes"}}, {"liveUpdate": "x"}, {"liveSettle": "xy"},
        {"liveStart": {}}, {"liveRetract": {}},
        {"expect": {"lookup": null}}, {"expect": {"lookup": "x", "source": "clipboard"}}
    ])"));
    ASSERT_EQ(scenario.steps.size(), 11u);
    EXPECT_FALSE(std::get<Lookup>(scenario.steps[0].action).axOnly);
    EXPECT_TRUE(std::get<Lookup>(scenario.steps[1].action).axOnly);
    EXPECT_EQ(std::get<Insert>(scenario.steps[2].action).text, "xin chào");
    EXPECT_FALSE(std::get<Insert>(scenario.steps[2].action).app.has_value()) << "no app: the one in front";
    EXPECT_EQ(std::get<Insert>(scenario.steps[3].action).app->pid, 300);
    EXPECT_EQ(std::get<LiveStart>(scenario.steps[4].action).app->name, "Notes");
    EXPECT_EQ(std::get<LiveUpdate>(scenario.steps[5].action).text, "x");
    EXPECT_EQ(std::get<LiveSettle>(scenario.steps[6].action).text, "xy");
    EXPECT_FALSE(std::get<LiveStart>(scenario.steps[7].action).app.has_value());
    EXPECT_TRUE(std::holds_alternative<LiveRetract>(scenario.steps[8].action));
    const auto& none = std::get<ExpectLookup>(std::get<Expect>(scenario.steps[9].action).what);
    EXPECT_FALSE(none.text.has_value());
    EXPECT_FALSE(none.source.has_value());
    const auto& found = std::get<ExpectLookup>(std::get<Expect>(scenario.steps[10].action).what);
    EXPECT_EQ(found.text, "x");
    EXPECT_EQ(found.source, "clipboard");
}

TEST(ScenarioParser, TimeMayStandStillButNeverGoBack) {
    EXPECT_NO_THROW(parseScenarioText(withSteps(R"([{"at": 1, "wait": 0.5}, {"at": 1.5, "copy": "x"}, {"at": 1.5, "copy": "y"}])")));
    EXPECT_THROW(parseScenarioText(withSteps(R"([{"at": 1, "wait": 0.5}, {"at": 1.499, "copy": "x"}])")), ScenarioError);
}

}  // namespace
}  // namespace veska::scenario
