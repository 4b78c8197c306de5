// Property: any edit of a good scenario file is either run or refused as malformed, never
// anything else, and what runs gives the same bytes every time.
#include <gtest/gtest.h>
#include <rapidcheck.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "main/scenario/ScenarioParser.h"
#include "main/scenario/ScenarioRunner.h"

namespace veska::scenario {
namespace {

using nlohmann::json;

std::vector<json> goodScenarios() {
    std::vector<json> out;
    for (const char* folder : {"", "/failing"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(VESKA_SCENARIO_DIR) + folder)) {
            if (entry.path().extension() != ".json") continue;
            std::ifstream in(entry.path());
            out.push_back(json::parse(in));
        }
    }
    std::sort(out.begin(), out.end(), [](const json& a, const json& b) { return a.dump() < b.dump(); });
    return out;
}

void collect(const json& value, const json::json_pointer& at, std::vector<json::json_pointer>& out) {
    if (!at.empty()) out.push_back(at);
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) collect(member, at / key, out);
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i) collect(value[i], at / i, out);
    }
}

/// Values that are wrong, odd or borderline in most places of a scenario.
const std::vector<json>& oddValues() {
    static const std::vector<json> values{nullptr, true, 0, -1, 7, 0.25, 86400, 1e300, "", "x", "command+v", "Notes",
                                          json::array(), json::array({0, 1}), json::object(), json{{"text", "a"}}};
    return values;
}

/// Plays `text`; the trace, or "refused" when it is malformed. Anything else fails the property.
std::string play(const std::string& text) {
    try {
        const Scenario scenario = parseScenarioText(text);
        std::ostringstream out;
        TraceWriter writer(out, TraceWriter::Mode::full);
        ScenarioRunner runner(scenario, writer);
        runner.run();
        return out.str();
    } catch (const ScenarioError&) {
        return "refused";
    }
}

TEST(ScenarioProperty, EditedFilesRunOrAreRefusedAndRunTheSameTwice) {
    const std::vector<json> scenarios = goodScenarios();
    ASSERT_GE(scenarios.size(), 5u);
    const bool ok = rc::check([&] {
        json document = *rc::gen::elementOf(scenarios);
        const int edits = *rc::gen::inRange(1, 4);
        for (int e = 0; e < edits; ++e) {
            std::vector<json::json_pointer> places;
            collect(document, json::json_pointer(), places);
            const json::json_pointer at = *rc::gen::elementOf(places);
            if (*rc::gen::arbitrary<bool>()) {
                document[at] = *rc::gen::elementOf(oddValues());
                continue;
            }
            json& parent = document[at.parent_pointer()];
            if (parent.is_object()) {
                parent.erase(at.back());
            } else {
                parent.erase(std::stoul(at.back()));
            }
        }
        const std::string text = document.dump();
        const std::string first = play(text);
        RC_ASSERT(first == play(text));
    });
    EXPECT_TRUE(ok);
}

TEST(ScenarioProperty, CutFilesAreRefusedAsJson) {
    const std::vector<json> scenarios = goodScenarios();
    const bool ok = rc::check([&] {
        const json document = *rc::gen::elementOf(scenarios);
        const std::string text = document.dump(2);
        const std::size_t cut = *rc::gen::inRange<std::size_t>(0, text.size() - 1);
        try {
            parseScenarioText(text.substr(0, cut));
            RC_FAIL("a cut file was accepted");
        } catch (const ScenarioError& error) {
            RC_ASSERT(std::string(error.what()).find("not valid JSON") != std::string::npos);
        }
    });
    EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace veska::scenario
