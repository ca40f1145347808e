// ffglrun against the Tessivar module: its description, a warp probed at a
// few pixels, the auto-fit events and a raw stream round trip.
#include "runner/ImageIO.h"
#include "runner/Patterns.h"
#include "tests/runner/CliRunner.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace {

using clitest::Cli;
using tessivar::Image;

class TessivarCli : public Cli {
protected:
    void SetUp() override {
        Cli::SetUp();
        const char* path = std::getenv("TESSIVAR_MODULE_TESSIVAR");
        module = path ? path : "";
        if (module.empty()) GTEST_SKIP() << "the Tessivar module is not part of this build";
    }
    std::string module;
};

TEST_F(TessivarCli, InfoJsonDescribesTheEffectFieldByField) {
    const auto r = Run({"info", module, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["path"], module);
    EXPECT_EQ(j["id"], "TSVR");
    EXPECT_EQ(j["name"], "Tessivar");
    EXPECT_TRUE(j["short_name"].is_null());
    EXPECT_EQ(j["type"], "effect");
    EXPECT_EQ(j["type_code"], 0);
    EXPECT_EQ(j["api_version"], nlohmann::json({{"major", 2}, {"minor", 1}}));
    EXPECT_EQ(j["plugin_version"], nlohmann::json({{"major", 1}, {"minor", 6}}));
    EXPECT_EQ(j["description"], "Four-corner perspective warper with numbered colour guides");
    EXPECT_EQ(j["about"], "Tessivar for Brindlex");
    EXPECT_EQ(j["capabilities"], nlohmann::json({{"min_inputs", 1}, {"max_inputs", 1}, {"time", true},
                                                 {"top_left_orientation", false}}));
    EXPECT_EQ(j["thumbnail"]["present"], false);

    const auto& params = j["parameters"];
    ASSERT_EQ(params.size(), 11u);
    const char* names[] = {"Point 1 X", "Point 1 Y", "Point 2 X", "Point 2 Y", "Point 3 X", "Point 3 Y",
                           "Point 4 X", "Point 4 Y", "Show Guides", "Auto Bounds", "Input Aspect"};
    const float defaults[] = {0, 0, 1, 0, 1, 1, 0, 1, 1, 1, 1};
    for (size_t i = 0; i < 11; ++i) {
        const auto& p = params[i];
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(p["index"], i);
        EXPECT_EQ(p["name"], names[i]);
        EXPECT_EQ(p["type"], i == 8 || i == 9 ? "boolean" : "standard");
        EXPECT_EQ(p["default"].get<float>(), defaults[i]);
        EXPECT_EQ(p["group"], "");
        EXPECT_EQ(p["visible"], true);
        EXPECT_EQ(p["usage"], "standard");
        EXPECT_EQ(p["elements"].size(), i == 8 || i == 9 ? 0u : 1u);
    }
    EXPECT_EQ(params[10]["range"][0].get<float>(), 0.1f);
    EXPECT_EQ(params[10]["range"][1].get<float>(), 4.0f);
    EXPECT_EQ(params[0]["range"], nlohmann::json({0.0, 1.0}));

    const auto text = Run({"info", module});
    EXPECT_EQ(text.code, 0);
    EXPECT_NE(text.out.find("Tessivar (TSVR), effect, FFGL API 2.1, version 1.6"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Input Aspect"), std::string::npos);
}

TEST_F(TessivarCli, RenderWarpsThePatternOntoTheGivenQuad) {
    // Points on the centre square: the gradient shrinks into it, half size.
    const std::string out = dir + "warp.png";
    const auto r = Run({"render", module, "--pattern", "gradient", "--size", "128x128", "--out", out,
                        "--set", "Show Guides=off", "--set", "Point 1 X=0.25", "--set", "Point 1 Y=0.25",
                        "--set", "Point 2 X=0.75", "--set", "Point 2 Y=0.25", "--set", "Point 3 X=0.75",
                        "--set", "Point 3 Y=0.75", "--set", "Point 4 X=0.25", "--set", "Point 4 Y=0.75"});
    ASSERT_EQ(r.code, 0) << r.err;
    Image img;
    std::string error;
    ASSERT_TRUE(tessivar::ReadPng(out, img, error)) << error;
    // The gradient's red is x * 255/127 for texel x; output pixel p samples
    // source u = ((p + 0.5)/128 - 0.25) * 2, i.e. texel position u*128 - 0.5.
    auto expectedRamp = [](uint32_t p) {
        const double u = ((p + 0.5) / 128.0 - 0.25) * 2.0;
        return (u * 128.0 - 0.5) * 255.0 / 127.0;
    };
    for (uint32_t x : {40u, 64u, 90u})
        for (uint32_t y : {36u, 70u, 91u}) {
            SCOPED_TRACE("pixel " + std::to_string(x) + "," + std::to_string(y));
            const uint8_t* p = img.At(x, y);
            EXPECT_NEAR(p[0], expectedRamp(x), 2.0);
            EXPECT_NEAR(p[1], expectedRamp(y), 2.0);
            EXPECT_EQ(p[3], 255);
        }
    // Outside the quad the output stays transparent black.
    for (auto xy : {std::pair<uint32_t, uint32_t>{10, 10}, {120, 64}, {64, 127}, {31, 64}}) {
        const uint8_t* p = img.At(xy.first, xy.second);
        EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0) << xy.first << "," << xy.second;
    }
}

TEST_F(TessivarCli, EventsShowTheAutoFitToTheOpaquePicture) {
    // 320x180 with a centred 240x180 picture: bars of 40 pixels, an eighth.
    const auto r = Run({"render", module, "--pattern", "alpha-bars", "--size", "320x180", "--frames", "2",
                        "--events", "--out", dir + "fit.png"});
    ASSERT_EQ(r.code, 0) << r.err;
    const float fitted[8] = {0.125f, 0, 0.875f, 0, 0.875f, 1, 0.125f, 1};
    std::string all;
    for (int i = 0; i < 8; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "frame 1: event Point %d %c (%d) flags 0x2 -> %f\n", i / 2 + 1,
                      i % 2 ? 'Y' : 'X', i, double(fitted[i]));
        all += line;
    }
    EXPECT_EQ(r.out, all);  // and nothing in frame 2: the fit is done
}

TEST_F(TessivarCli, RawStreamRoundTripsThroughTheIdentityWarp) {
    // Opaque frames of the output's shape and default points: the fit keeps
    // the whole frame, so with guides off the output is the input.
    const uint32_t w = 32, h = 24;
    std::string frames(3 * w * h * 4, '\xff');
    for (size_t i = 0; i < frames.size(); i += 4) {
        const size_t f = i / (w * h * 4), p = i / 4 % (w * h);
        frames[i] = char(p * 7 + f * 50), frames[i + 1] = char(p / w * 10), frames[i + 2] = char(f * 80);
    }
    const std::string in = dir + "in.raw";
    std::ofstream(in, std::ios::binary) << frames;
    const auto r = Run({"render", module, "--raw-in", "32x24", "--raw-out", "--set", "Show Guides=off"}, in);
    ASSERT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.size(), frames.size());
    int off = 0;
    for (size_t i = 0; i < frames.size(); ++i) off = std::max(off, std::abs(uint8_t(r.out[i]) - uint8_t(frames[i])));
    EXPECT_LE(off, 1);
}

}  // namespace
