#include "runner/FrameHost.h"
#include "runner/Patterns.h"
#include "runner/commands/Bench.h"
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"
#include "runner/commands/Reports.h"

#include <algorithm>
#include <iostream>
#include <memory>

namespace tessivar::cli {
namespace {

struct BenchArgs {
    std::string module, size = "1920x1080", pattern = "grid";
    std::vector<std::string> settings;
    int frames = 60;
    int warmup = 5;
    bool json = false;
};

int runBench(const BenchArgs& a) {
    const Size size = ParseSizeArg("--size", a.size);
    if (a.frames < 1) throw UsageFailure("--frames " + std::to_string(a.frames) + ": must be 1 or more");
    if (a.warmup < 0) throw UsageFailure("--warmup: must be 0 or more");
    const JsonOut json(a.json);
    auto module = LoadModule(a.module);
    const ModuleInfo info = DescribeModule(*module);
    const std::vector<ParamSetting> settings = ResolveSettings(info, a.settings);
    Image picture;
    std::string error;
    if (!MakePattern(a.pattern, size.width, size.height, picture, error))
        throw UsageFailure("--pattern " + a.pattern + ": " + error);
    const size_t inputCount =
        std::max<size_t>(info.minInputs, info.type == FF_SOURCE ? 0 : std::min<uint32_t>(1, info.maxInputs));
    const std::vector<Image> inputs(inputCount, picture);

    HeadlessGL& gl = MakeContext();
    ReportDebugErrors(gl);
    FrameHost host;
    if (!host.Create(*module, info, inputs, size.width, size.height, error)) throw Failure(error);
    ApplySettings(host.Plugin(), settings);
    InputTexture floorInput;
    FloorShader floor;
    if (!floorInput.Create(picture) || !floor.Create(error))
        throw Failure(error.empty() ? "cannot set up the floor" : error);
    int frame = 0;
    bool ok = false;
    const auto [plugin, base] = TimeInterleaved([&] { return host.RenderFrame(frame++ / 60.0, error); },
                                                [&] {
                                                    host.PrepareTarget();
                                                    floor.Draw(floorInput.Desc());
                                                    return true;
                                                },
                                                size_t(a.frames), size_t(a.warmup), ok);
    if (!ok) throw Failure(error);
    host.Plugin().Destroy();

    BenchResult result;
    result.module = a.module;
    result.name = info.name;
    result.renderer = gl.Renderer();
    result.width = size.width;
    result.height = size.height;
    result.frames = size_t(a.frames);
    result.warmup = size_t(a.warmup);
    result.plugin = plugin;
    result.floor = base;
    if (json.Wanted())
        json.Write(BenchToJson(result));
    else
        std::cout << BenchToText(result);
    return 0;
}

}  // namespace

Command AddBenchCommand(CLI::App& app) {
    auto a = std::make_shared<BenchArgs>();
    CLI::App* c = AddSubcommand(app, "bench", "Time frames against a trivial full-screen shader", a->module);
    c->add_option("--size", a->size, "Frame size WxH (default 1920x1080)");
    c->add_option("--frames", a->frames, "Timed frames (default 60)");
    c->add_option("--warmup", a->warmup, "Untimed frames first (default 5)");
    c->add_option("--pattern", a->pattern,
                  "Input pattern (default grid: opaque over the whole frame, so every pixel is sampled)");
    AddRepeated(c, "--set", a->settings, "NAME=VALUE, as for render");
    c->add_flag("--json", a->json, "One JSON object for scripts");
    return {c, [a] { return runBench(*a); }};
}

}  // namespace tessivar::cli
