// What the page may ask for: every limit accepted at it and refused one past
// it, and a refused request queues nothing.
#include "runner/preview/Hub.h"
#include "runner/preview/Requests.h"

#include <gtest/gtest.h>

#include <memory>

namespace tessivar::preview {
namespace {

ParamDesc param(uint32_t index, const char* name, uint32_t type, float lo = 0, float hi = 1) {
    ParamDesc p;
    p.index = index;
    p.name = name;
    p.type = type;
    p.rangeMin = lo;
    p.rangeMax = hi;
    return p;
}

ModuleInfo sample() {
    ModuleInfo info;
    info.params = {param(0, "Amount", FF_TYPE_STANDARD, -2, 4),
                   param(1, "Count", FF_TYPE_INTEGER, 0, 16),
                   param(2, "Mode", FF_TYPE_OPTION),
                   param(3, "Caption", FF_TYPE_TEXT),
                   param(4, "Image", FF_TYPE_FILE),
                   param(5, "Bands", FF_TYPE_BUFFER),
                   param(6, "On", FF_TYPE_BOOLEAN, 0, 0)};
    info.params[2].elements = {{"Add", 0.0f}, {"Multiply", 0.5f}, {"Screen", 1.0f}};
    return info;
}

std::string text(size_t n) { return "{\"index\":3,\"text\":\"" + std::string(n, 'a') + "\"}"; }

TEST(PreviewRequests, ChangesWithinTheirLimitsAreTaken) {
    const ModuleInfo info = sample();
    for (const std::string& body : std::vector<std::string>{
             "{\"index\":0,\"value\":4}", "{\"index\":0,\"value\":-2}", "{\"index\":1,\"value\":16}",
             "{\"index\":2,\"value\":0.5}", "{\"index\":6,\"value\":1}", text(kMaxTextBytes),
             "[{\"index\":0,\"value\":1},{\"index\":3,\"text\":\"\"}]"}) {
        std::vector<Command> out;
        std::string error;
        EXPECT_TRUE(ParseParamRequest(info, 7, body, out, error)) << body << ": " << error;
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out[0].build, 7u);
    }
    std::vector<Command> out;
    std::string error;
    ASSERT_TRUE(ParseParamRequest(info, 1, "[{\"index\":2,\"value\":1},{\"index\":3,\"text\":\"hi\"}]", out, error));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].kind, Command::Kind::SetValue);
    EXPECT_EQ(out[0].value, 1.0f);
    EXPECT_EQ(out[1].kind, Command::Kind::SetText);
    EXPECT_EQ(out[1].text, "hi");
}

TEST(PreviewRequests, MalformedOrOutOfRangeChangesAreRefusedWhole) {
    const ModuleInfo info = sample();
    const std::string tooLong(kMaxBodyBytes + 1, ' ');
    for (const std::string& body :
         std::vector<std::string>{std::string("not json"),
                                  std::string("{\"value\":1}"),
                                  std::string("{\"index\":7,\"value\":0}"),
                                  std::string("{\"index\":-1,\"value\":0}"),
                                  std::string("{\"index\":0,\"value\":4.001}"),
                                  std::string("{\"index\":0,\"value\":-2.001}"),
                                  std::string("{\"index\":1,\"value\":2.5}"),
                                  std::string("{\"index\":1,\"value\":17}"),
                                  std::string("{\"index\":2,\"value\":0.25}"),
                                  std::string("{\"index\":6,\"value\":1.01}"),
                                  std::string("{\"index\":0,\"value\":\"1\"}"),
                                  std::string("{\"index\":0,\"text\":\"1\"}"),
                                  std::string("{\"index\":3,\"value\":1}"),
                                  std::string("{\"index\":0,\"value\":1,\"text\":\"x\"}"),
                                  std::string("{\"index\":0,\"value\":1,\"more\":1}"),
                                  text(kMaxTextBytes + 1),
                                  std::string("{\"index\":3,\"text\":\"a\\u0000b\"}"),
                                  std::string("{\"index\":4,\"text\":\"/etc/passwd\"}"),
                                  std::string("{\"index\":4,\"value\":0}"),
                                  std::string("{\"index\":5,\"value\":0}"),
                                  std::string("[]"),
                                  std::string("[{\"index\":0,\"value\":1},{\"index\":0,\"value\":9}]"),
                                  std::string("[") + std::string(7, ' ') + "1,1,1,1,1,1,1,1]",
                                  tooLong}) {
        std::vector<Command> out;
        std::string error;
        EXPECT_FALSE(ParseParamRequest(info, 1, body, out, error)) << body;
        EXPECT_TRUE(out.empty()) << body;
        EXPECT_FALSE(error.empty()) << body;
    }
}

TEST(PreviewRequests, TransportTakesItsFourActionsOnly) {
    Command c;
    std::string error;
    ASSERT_TRUE(ParseTransportRequest("{\"action\":\"step\"}", c, error));
    EXPECT_EQ(c.kind, Command::Kind::Step);
    ASSERT_TRUE(ParseTransportRequest("{\"action\":\"loop\",\"on\":false}", c, error));
    EXPECT_EQ(c.kind, Command::Kind::Loop);
    EXPECT_FALSE(c.on);
    for (const char* body :
         {"{\"action\":\"open\",\"file\":\"x.mp4\"}", "{\"action\":\"loop\"}", "{\"action\":\"loop\",\"on\":1}",
          "{\"action\":\"play\",\"on\":true}", "[\"play\"]", "play"})
        EXPECT_FALSE(ParseTransportRequest(body, c, error)) << body;
}

TEST(PreviewHub, QueueTakesBatchesWholeUpToItsBound) {
    Hub hub;
    uint64_t seq = 0;
    ASSERT_TRUE(hub.Push(std::vector<Command>(Hub::kMaxPendingCommands - 1), seq));
    EXPECT_FALSE(hub.Push(std::vector<Command>(2), seq));  // no room for both: neither goes in
    ASSERT_TRUE(hub.Push(std::vector<Command>(1), seq));
    EXPECT_EQ(seq, Hub::kMaxPendingCommands);
    EXPECT_FALSE(hub.Push(std::vector<Command>(1), seq));
    const auto taken = hub.Take();
    ASSERT_EQ(taken.size(), Hub::kMaxPendingCommands);
    EXPECT_EQ(taken.back().seq, Hub::kMaxPendingCommands);
    EXPECT_TRUE(hub.Take().empty());
}

// The page builds its controls when the state's build changes: until the GL
// thread has described a new build's parameters, the state keeps the old
// build's number beside the old parameters.
TEST(PreviewHub, StateNamesTheBuildItsParametersBelongTo) {
    Hub hub;
    hub.PublishModule(std::make_shared<const ModuleInfo>(sample()));
    EXPECT_EQ(nlohmann::json::parse(hub.StateText())["build"], 0);
    hub.PublishSession({{"params", {"first"}}});
    EXPECT_EQ(nlohmann::json::parse(hub.StateText())["build"], 1);
    hub.PublishModule(std::make_shared<const ModuleInfo>(sample()));
    EXPECT_EQ(nlohmann::json::parse(hub.StateText())["build"], 1);
    hub.PublishSession({{"params", {"first"}}});  // the same description, now of the new build
    EXPECT_EQ(nlohmann::json::parse(hub.StateText())["build"], 2);
}

TEST(PreviewHub, LogFoldsRepeatsAndKeepsTheNewestEntries) {
    Hub hub;
    hub.Log("gl", "same");
    hub.Log("gl", "same");
    EXPECT_EQ(nlohmann::json::parse(hub.StateText())["log"][0]["repeats"], 2);
    for (size_t i = 0; i < Hub::kMaxLogEntries; ++i) hub.Log("host", "line " + std::to_string(i));
    const auto state = nlohmann::json::parse(hub.StateText());
    ASSERT_EQ(state["log"].size(), Hub::kMaxLogEntries);
    EXPECT_EQ(state["log"][0]["text"], "line 0");
    hub.Log("host", std::string("\xff\xfe not UTF-8"));  // a driver's bytes must not break the answer
    nlohmann::json parsed;
    EXPECT_NO_THROW(parsed = nlohmann::json::parse(hub.StateText()));
}

}  // namespace
}  // namespace tessivar::preview
