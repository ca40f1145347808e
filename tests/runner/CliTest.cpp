// ffglrun as a user runs it: the built binary, real modules, real files.
// Each test checks the exit status and, for failures, that standard error
// holds exactly one line naming the file or argument at fault.
#include "runner/ImageIO.h"
#include "runner/media/Media.h"
#include "runner/Patterns.h"
#include "tests/runner/PngFixtures.h"
#include "tests/runner/CliRunner.h"
#include "tests/runner/MediaFixtures.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

namespace fs = std::filesystem;
using clitest::Cli;
using clitest::Result;
using clitest::slurp;
using tessivar::Image;

// ---- modules that cannot be run ---------------------------------------------

TEST_F(Cli, ModulesThatCannotBeLoadedAreNamedInOneLine) {
    const std::string missing = dir + "absent.so";
    EXPECT_ONE_LINE(Run({"info", missing}), 1, "module not found: " + missing);

    const std::string text = dir + "text.so";
    std::ofstream(text) << "not a library";
    EXPECT_ONE_LINE(Run({"render", text, "--pattern", "gradient", "--out", dir + "o.png"}), 1,
                    text + ": not a loadable shared library");

    const std::string noEntry = Module("NOENTRY");
    EXPECT_ONE_LINE(Run({"check", noEntry}), 1, noEntry);
    EXPECT_ONE_LINE(Run({"info", noEntry}), 1, noEntry + ": no plugMain export");

    const std::string empty = Module("EMPTYMODULE");
    EXPECT_ONE_LINE(Run({"info", empty, "--json"}), 1, empty + ": answers no information record");
    EXPECT_TRUE(Files().size() == 1 && Files()[0] == "text.so");  // nothing written
    // A folder is refused unless it is a bundle holding its binary (macOS).
    const std::string bundle = dir + "Empty.bundle";
    fs::create_directories(bundle + "/Contents/MacOS");
    EXPECT_ONE_LINE(Run({"info", bundle}), 1, bundle + ": is a directory, not a module");
    fs::copy_file(empty, bundle + "/Contents/MacOS/Empty");
    EXPECT_ONE_LINE(Run({"info", bundle + "/"}), 1, bundle + "/: answers no information record");

    // A module that refuses every instance ends a render without output.
    const std::string failing = Module("FAULTYPLUGIN");
    EXPECT_ONE_LINE(Run({"render", failing, "--pattern", "checker", "--size", "32x32", "--out", dir + "o.png"}), 1,
                    failing + ": the module refused to make an instance");
    EXPECT_ONE_LINE(Run({"soak", failing, "--cycles", "1"}), 1,
                    failing + " fails the soak: instances: cycle 0: FF_INSTANTIATE_GL failed");
    EXPECT_FALSE(fs::exists(dir + "o.png"));
}

TEST_F(Cli, MissingEglOrTooOldGlIsOneLine) {
#if defined(_WIN32) || defined(__APPLE__)
    GTEST_SKIP() << "Linux only: EGL and Mesa's variables steer the EGL context; WGL and CGL take no such steering";
#else  // (not after the skip: MSVC refuses unreachable code)
    const std::string module = Module("FRAMETESTPLUGIN");
    const std::vector<std::string> args = {"render", module, "--pattern", "gradient",
                                           "--size", "8x8",  "--out",     dir + "o.png"};
    // Mesa's failure path leaves driver state behind when it unloads, which a
    // sanitizer build would report against ffglrun.
    const std::string noLeakCheck = "ASAN_OPTIONS=detect_leaks=0";
    // GLVND finds no EGL vendor at all.
    EXPECT_ONE_LINE(Run(args, "", {"__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent/egl.json", noLeakCheck}), 1,
                    "no OpenGL 4.1 context: ");
    // Mesa told to offer no more than GL 3.3.
    EXPECT_ONE_LINE(Run(args, "", {"MESA_GL_VERSION_OVERRIDE=3.3", noLeakCheck}), 1, "no OpenGL 4.1 context: ");
    EXPECT_TRUE(Files().empty());
#endif
}

// ---- bad arguments and files --------------------------------------------------

TEST_F(Cli, BadArgumentsAreUsageErrorsNamingTheArgument) {
    const std::string m = Module("FRAMETESTPLUGIN"), out = dir + "o.png";
    const struct {
        std::vector<std::string> args;
        int code;
        std::string says;
    } cases[] = {
        {{"--pattern", "gradient", "--set", "Nope=1", "--out", out}, 2, "--set Nope=1: no parameter named 'Nope'"},
        {{"--pattern", "gradient", "--set", "Standard=lots", "--out", out},
         2,
         "--set Standard=lots: 'Standard' takes a number, not 'lots'"},
        {{"--pattern", "plaid", "--out", out}, 2, "--pattern plaid: unknown pattern"},
        {{"--pattern", "gradient", "--size", "wide", "--out", out}, 2, "--size wide: expected WIDTHxHEIGHT"},
        {{"--pattern", "gradient", "--size", "16385x1", "--out", out}, 2, "--size 16385x1: expected WIDTHxHEIGHT"},
        {{"--pattern", "gradient", "--size", "4294967297x1", "--out", out}, 2, "--size 4294967297x1"},
        {{"--pattern", "gradient", "--out", dir + "f%s.png"}, 2, "only one %d"},
        {{"--frames", "2", "--pattern", "gradient"}, 2, "nothing to write"},
        {{"--frames", "many", "--out", out}, 2, "--frames"},
        {{"--size", "8x8", "--out", out}, 1, "needs at least 1 input"},
        {{"--pattern", "gradient", "--pattern", "checker", "--out", out}, 1, "takes at most 1 input"},
        {{"--pattern", "gradient", "--update-expected", "--out", out}, 2, "--update-expected: needs --expect"},
        {{"--pattern", "gradient", "--expect", out, "--tolerance", "256"}, 2, "--tolerance: must be 0 to 255"},
        {{"--pattern", "gradient", "--expect", dir + "g%d.png", "--out", out}, 2, "one golden per frame needs"},
        {{"--pattern", "gradient", "--expect", dir + "g.png"}, 1, "golden " + dir + "g.png not found"},
        {{"--pattern", "gradient", "--expect", dir + "no/g.png", "--update-expected"}, 1, "folder " + dir + "no does"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", m};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_ONE_LINE(Run(args), c.code, c.says);
    }
    EXPECT_ONE_LINE(Run({"bench", m, "--size", "0x10"}), 2, "--size 0x10");
    EXPECT_ONE_LINE(Run({"soak", m, "--cycles", "0"}), 2, "--cycles 0: must be 1 or more");
    EXPECT_TRUE(Files().empty());
}

TEST_F(Cli, BadInputFilesAreNamed) {
    const std::string m = Module("FRAMETESTPLUGIN");
    const std::string out = dir + "o.png";
    const std::string missing = dir + "missing.png";
    EXPECT_ONE_LINE(Run({"render", m, "--input", missing, "--out", out}), 1, "input file not found: " + missing);

    Image picture;
    std::string error;
    ASSERT_TRUE(tessivar::MakePattern("checker", 64, 64, picture, error));
    const std::string good = dir + "good.png", cut = dir + "cut.png", deep = dir + "deep.png";
    ASSERT_TRUE(tessivar::WritePng(good, picture, error));
    const std::string bytes = slurp(good), text = dir + "text.png";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() - 40);
    EXPECT_ONE_LINE(Run({"render", m, "--input", cut, "--out", out}), 1, cut + ": corrupt or truncated PNG");
    std::ofstream(text) << "hello, not a picture";
    EXPECT_ONE_LINE(Run({"render", m, "--input", text, "--out", out}), 1, text + ": not a PNG file");

    const uint16_t pixels[2 * 2 * 4] = {};
    ASSERT_TRUE(testpng::Write(deep, PNG_FORMAT_LINEAR_RGB_ALPHA, pixels, 2, 2));
    EXPECT_ONE_LINE(Run({"render", m, "--input", deep, "--out", out}), 1, deep + ": 16-bit RGBA PNG is not read");

    // Clips and audio; a build without FFmpeg names the file and says why.
    auto media = [](const std::string& says) {
        return tessivar::MediaSupported() ? says : "no video or audio file support";
    };
    const std::string clip = dir + "missing.mp4", notMedia = dir + "text.mp4", tone = dir + "tone.wav";
    const std::string silent = dir + "silent.mkv";
    std::ofstream(notMedia) << "hello, not a clip";
    mediatest::WriteToneWav(tone, 8000, 0.1, 60, 0);
    if (tessivar::MediaSupported()) {
        ASSERT_EQ(Run({"render", m, "--pattern", "grid", "--size", "8x8", "--frames", "1", "--out", silent}).code, 0);
    }
    const struct {
        std::vector<std::string> args;
        std::string says;
    } media_cases[] = {
        {{"--input", clip, "--out", out}, media("input file not found: " + clip)},
        {{"--input", notMedia, "--out", out}, media(notMedia + ": not a media file")},
        {{"--input", tone, "--out", out}, media(tone + ": no video stream")},
        {{"--pattern", "grid", "--audio", silent, "--out", out}, media(silent + ": no audio stream")},
        {{"--pattern", "grid", "--out", dir + "o.avi"}, dir + "o.avi: unknown output extension"},
        {{"--pattern", "grid", "--size", "65x48", "--out", dir + "o.mp4"},
         media(dir + "o.mp4: libx264 in yuv420p needs even sides; 65x48 has not")},
    };
    for (const auto& c : media_cases) {
        std::vector<std::string> args = {"render", m};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_ONE_LINE(Run(args), 1, c.says);
    }
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(Cli, UnwritableOutputFailsBeforeRenderingAndLeavesNothing) {
    const std::string m = Module("FRAMETESTPLUGIN");
    const std::string nowhere = dir + "no/such/folder/o.png";
    EXPECT_ONE_LINE(Run({"render", m, "--pattern", "gradient", "--size", "8x8", "--out", nowhere}), 1,
                    "cannot write " + nowhere + ": folder " + dir + "no/such/folder does not exist");
    // A folder where the file should go, found before the module is loaded.
    fs::create_directory(dir + "taken.png");
    EXPECT_ONE_LINE(Run({"render", dir + "absent.so", "--pattern", "gradient", "--out", dir + "taken.png"}), 1,
                    "cannot write " + dir + "taken.png: it is a folder");
    // A disk that fills up halfway through a video: 16 KiB of file allowed.
#ifndef _WIN32  // no media there, nor a file size limit
    if (tessivar::MediaSupported()) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 16 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &small);
        const Result full =
            Run({"render", m, "--pattern", "grid", "--size", "256x256", "--frames", "30", "--out", dir + "full.mov"});
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_ONE_LINE(full, 1, "cannot write " + dir + "full.mov: File too large");
    }
#endif
    EXPECT_EQ(Files(), std::vector<std::string>{"taken.png"});
}

// The output would replace a file the run reads: refused before the module
// (here missing) is loaded or anything read, and the input stays as it was.
TEST_F(Cli, AnOutputThatIsAnInputIsRefusedFirst) {
    const std::string absent = dir + "absent.so", in = dir + "in.png";
    std::string error;
    ASSERT_TRUE(tessivar::WritePng(in, Image(4, 4), error)) << error;
    const std::string before = slurp(in);
    fs::copy_file(in, dir + "in7.png");
    const struct {
        std::vector<std::string> args;
        std::string out, input;
    } cases[] = {
        {{"--input", in, "--out", dir + "./in.png"}, dir + "./in.png", in},
        {{"--input", dir + "in7.png", "--out", dir + "in%d.png"}, dir + "in%d.png", dir + "in7.png"},
        {{"--pattern", "grid", "--out", in, "--expect", in}, in, in},
        {{"--input", in, "--expect", in, "--update-expected"}, in, in},
#ifndef _WIN32
        {{"--input", dir + "link.png", "--out", in}, in, dir + "link.png"},
#endif
    };
#ifndef _WIN32
    fs::create_symlink(in, dir + "link.png");
#endif
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", absent};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_ONE_LINE(Run(args), 1, c.out + ": would overwrite the input " + c.input + "; choose another name");
    }
    EXPECT_EQ(slurp(in), before);
    EXPECT_ONE_LINE(Run({"render", absent, "--input", in, "--out", dir + "in8.png"}), 1, "module not found");
}

// Ctrl-C or SIGTERM (a console's Ctrl-C or Ctrl-Break on Windows) ends a
// run at a frame boundary with 130; whatever the run had written goes, the
// temporary file of a video too.
TEST_F(Cli, AnInterruptedRunLeavesNothingBehind) {
    const std::vector<std::string> render = {
        "render", Module("FRAMETESTPLUGIN"), "--pattern", "grid", "--size", "8x8", "--frames", "10000000", "--out"};
    auto args = [&](const std::string& out) {
        auto a = render;
        a.push_back(out);
        return a;
    };
    const auto started = [&] { return fs::exists(dir + "f3.png"); };
    const auto videoStarted = [&] {
        for (const auto& name : Files())
            if (name.find(".partial-") != std::string::npos && fs::file_size(dir + name) > 4096) return true;
        return false;
    };
#ifdef _WIN32
    const Result pngs = RunAndInterrupt(args(dir + "f%d.png"), started);
    EXPECT_ONE_LINE(pngs, 130, "interrupted by Ctrl-");
#else
    const Result pngs = RunAndSignal(args(dir + "f%d.png"), SIGTERM, started);
    EXPECT_ONE_LINE(pngs, 130, "interrupted by SIGTERM after ");
#endif
    EXPECT_NE(pngs.Line().find(" frame(s); " + dir + "f%d.png not written"), std::string::npos) << pngs.Line();
    EXPECT_TRUE(Files().empty());
    if (!tessivar::MediaSupported()) return;
#ifdef _WIN32
    const Result clip = RunAndInterrupt(args(dir + "o.mkv"), videoStarted);
    EXPECT_ONE_LINE(clip, 130, "interrupted by Ctrl-");
#else
    const Result clip = RunAndSignal(args(dir + "o.mkv"), SIGINT, videoStarted);
    EXPECT_ONE_LINE(clip, 130, "interrupted by SIGINT after ");
#endif
    EXPECT_TRUE(Files().empty());
}

// ---- raw streams ----------------------------------------------------------------

TEST_F(Cli, RawStreamWritesOneFramePerWholeFrameRead) {
    const std::string m = Module("FRAMETESTPLUGIN"), in = dir + "in.raw";
    std::ofstream(in, std::ios::binary) << std::string(2 * 48 + 10, '\x40');  // 2.2 frames of 4x3
    const Result cut = Run({"render", m, "--raw-in", "4x3", "--raw-out", "--out", dir + "f%d.png"}, in);
    EXPECT_ONE_LINE(cut, 1, "standard input ended inside frame 3 (10 of 48 bytes); 2 whole frame(s) read");
    EXPECT_EQ(cut.out.size(), 2u * 48u);
    EXPECT_EQ(Files(), std::vector<std::string>{"in.raw"}) << "a failed run leaves no frames behind";

    std::ofstream(in, std::ios::binary) << std::string(3 * 48, '\x40');
    const Result r = Run({"render", m, "--raw-in", "4x3", "--raw-out", "--set", "Trigger=on", "--events"}, in);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.size(), 3u * 48u);
    // Events go to standard error when standard output carries frames; the
    // trigger raises them once.
    EXPECT_EQ(r.err,
              "frame 1: event Standard (0) flags 0x2 -> 0.250000\nframe 1: event Count (12) flags 0x2 -> 7.000000\n");
    EXPECT_ONE_LINE(Run({"render", m, "--raw-in", "4x3", "--raw-out"}), 1, "no frame to read");
}

TEST_F(Cli, ModuleChatterOnStandardOutputStaysOutOfTheRawStream) {
    const std::string in = dir + "in.raw";
    std::ofstream(in, std::ios::binary) << std::string(2 * 48, '\x40');
    const Result r = Run({"render", Module("LEAKYPLUGIN"), "--raw-in", "4x3", "--raw-out"}, in);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.size(), 2u * 48u);
    EXPECT_EQ(r.out.find("leaky"), std::string::npos);
    EXPECT_NE(r.err.find("leaky: frame\nleaky: frame\n"), std::string::npos) << r.err;
}

// ---- what works -------------------------------------------------------------------

TEST_F(Cli, InfoJsonDescribesEveryParameterKind) {
    const Result r = Run({"info", Module("FRAMETESTPLUGIN"), "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["id"], "FRMT");
    EXPECT_EQ(j["type"], "effect");
    EXPECT_EQ(j["capabilities"]["top_left_orientation"], true);
    EXPECT_EQ(j["thumbnail"]["present"], true);
    EXPECT_EQ(j["thumbnail"]["width"], 2);
    const auto& params = j["parameters"];
    ASSERT_EQ(params.size(), 17u);
    EXPECT_EQ(params[0]["group"], "Geometry Group");
    EXPECT_EQ(params[10]["elements"][2]["name"], "Screen");
    EXPECT_EQ(params[13]["file_extensions"], nlohmann::json({"png", "jpg"}));
    EXPECT_EQ(params[15]["visible"], false);
    EXPECT_EQ(params[16]["name"], "ABCDEFGHIJKLMNOP");  // a full 16-byte name without terminator
}

TEST_F(Cli, CheckFailsABrokenModuleOnTheRightRows) {
    const Result r = Run({"check", Module("LEAKYPLUGIN")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(
        r.out.find("information record                      FAIL   name field has byte 0x5a after its terminator"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("GL state restored after each call       FAIL   after FF_PROCESS_OPENGL (frame 1): viewport"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("11 checks: 9 passed, 2 failed"), std::string::npos) << r.out;
    EXPECT_EQ(r.Line().find("fails 2 of 11 checks"), r.Line().size() - std::string("fails 2 of 11 checks").size());
}

// A module that crashes in every frame: render, bench and soak end with one
// line naming the call and leave nothing; check fails the row whose call
// crashed and every row after it (each run again in a fresh process), and
// passes the rows before.
TEST_F(Cli, ACrashingModuleIsNamedByEveryCommand) {
    const std::string m = Module("CRASHINGPLUGIN"), out = dir + "o.png";
    const std::vector<std::string> render = {"render", m, "--pattern", "grid", "--size", "32x32", "--out", out};
    EXPECT_ONE_LINE(Run(render), 1, m + " crashed in FF_PROCESS_OPENGL: ");
    std::vector<std::string> aborting = render;
    aborting.insert(aborting.end(), {"--set", "crash=abort"});
    EXPECT_ONE_LINE(Run(aborting), 1, m + " crashed in FF_PROCESS_OPENGL: SIGABRT (abort)");
    EXPECT_ONE_LINE(Run({"bench", m, "--size", "32x32", "--frames", "2"}), 1, "crashed in FF_PROCESS_OPENGL: ");
    EXPECT_ONE_LINE(Run({"soak", m, "--cycles", "1"}), 1, m + " crashed in FF_PROCESS_OPENGL: ");
    EXPECT_TRUE(Files().empty());

    const Result r = Run({"check", m});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("parameters accept their defaults        pass"), std::string::npos) << r.out;
    for (const char* row : {"instantiate, process, de-instantiate  ", "GL state restored after each call     ",
                            "no KHR_debug errors                   ", "parameter events delivered and cleared"})
        EXPECT_NE(r.out.find(std::string(row) + "  FAIL   crashed in FF_PROCESS_OPENGL (frame 1): "), std::string::npos)
            << row << "\n"
            << r.out;
    EXPECT_NE(r.out.find("11 checks: 7 passed, 4 failed"), std::string::npos) << r.out;
}

// What an author meets first: a hint when names may be why instances fail,
// --set at the last index and one past it, a note for a value outside the
// range (none at its end), and two modules with one ID in a folder.
TEST_F(Cli, HintsSettingsAndClashesSayWhatIsWrongInOneLine) {
    const std::string misnamed = Module("MISNAMEDPLUGIN");
    const std::string hint =
        "ffglrun: hint: a module made with the Tessivar kit declares each parameter as a GLSL "
        "uniform of its name, and parameter 0 'time' is one of the kit's own names; parameter 1 "
        "'Edge Amount' is not a GLSL identifier (letters, digits and _, not starting with a digit)";
    const Result rendered = Run({"render", misnamed, "--pattern", "grid", "--size", "32x32", "--out", dir + "o.png"});
    EXPECT_EQ(rendered.code, 1);
    EXPECT_NE(rendered.err.find(misnamed +
                                ": the module refused to make an instance (FF_INSTANTIATE_GL failed at "
                                "32x32)\n" +
                                hint + "\n"),
              std::string::npos)
        << rendered.err;
    const Result checked = Run({"check", misnamed});
    EXPECT_EQ(checked.code, 1);
    EXPECT_NE(checked.err.find("fails 4 of 11 checks\n" + hint + "\n"), std::string::npos) << checked.err;
    EXPECT_EQ(Run({"check", Module("CRASHINGPLUGIN"), "--json"}).err.find("hint"), std::string::npos);

    const std::string m = Module("CRASHINGPLUGIN");
    auto set = [&](const std::string& assignment) {
        return Run({"render", m, "--pattern", "grid", "--size", "8x8", "--out", dir + "o.png", "--set", "crash=never",
                    "--set", assignment});
    };
    const Result atEnd = set("amount=1"), pastEnd = set("amount=1.5"), lastIndex = set("1=never");
    EXPECT_EQ(atEnd.code, 0);
    EXPECT_EQ(atEnd.err, "");
    EXPECT_ONE_LINE(pastEnd, 0, "note: --set amount=1.5: 1.5 is outside the range of 'amount' (0 .. 1); sent as given");
    EXPECT_EQ(lastIndex.code, 0) << lastIndex.err;
    EXPECT_ONE_LINE(set("2=1"), 2, "--set 2=1: no parameter 2 in " + m + ": its parameters are numbered 0 to 1");

    // A folder as a host scans it: its modules, not its other files.
    const std::string good = Module("QUICKSTARTSOURCE"), folder = dir + "plugins";
    const std::string extension = fs::u8path(good).extension().u8string();
    fs::create_directories(folder);
    std::ofstream(folder + "/notes.txt") << "not a module";
    EXPECT_ONE_LINE(Run({"check", folder}), 1, folder + ": no " + extension + " module in the folder");
    for (const char* name : {"/A", "/B"})
        fs::copy(fs::u8path(good), fs::u8path(folder + name + extension), fs::copy_options::recursive);
    const Result clash = Run({"check", folder});
    EXPECT_EQ(clash.code, 1);
    const auto inFolder = [&](const char* name) { return (fs::u8path(folder) / (name + extension)).u8string(); };
    const std::string line = "ID 'TQSS' is taken by 2 modules (" + inFolder("A") + ", " + inFolder("B") +
                             "): a host scanning them keeps one";
    EXPECT_NE(clash.out.find("2 modules: 2 pass every check\n" + line + "\n"), std::string::npos) << clash.out;
    EXPECT_ONE_LINE(clash, 1, line);
}

// Goldens: made by --update-expected, then compared frame by frame. The
// module draws nothing, so a golden with one pixel set differs by exactly it.
TEST_F(Cli, GoldensAreWrittenThenComparedFrameByFrame) {
    const std::string m = Module("FRAMETESTPLUGIN");
    const std::vector<std::string> render = {
        "render",   m,   "--pattern", "grid",          "--size",   "8x8",
        "--frames", "2", "--out",     dir + "o%d.png", "--expect", dir + "g%d.png"};
    auto with = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), render.begin(), render.end());
        return Run(extra);
    };
    ASSERT_EQ(with({"--update-expected"}).code, 0);
    EXPECT_EQ(Files(), (std::vector<std::string>{"g1.png", "g2.png", "o1.png", "o2.png"}));
    EXPECT_EQ(with({}).code, 0);

    Image golden(8, 8);
    golden.At(3, 2)[0] = 200;
    golden.At(5, 1)[3] = 2;  // within the default tolerance
    std::string error;
    ASSERT_TRUE(tessivar::WritePng(dir + "g2.png", golden, error)) << error;
    EXPECT_ONE_LINE(with({}), 1,
                    "frame 2 differs from " + dir +
                        "g2.png: 1 of 64 pixels off by more than 2, worst 200 at "
                        "(3,2); diff picture " +
                        dir + "o2.diff.png");
    Image diff;
    ASSERT_TRUE(tessivar::ReadPng(dir + "o2.diff.png", diff, error)) << error;
    EXPECT_GT(diff.At(3, 2)[0], 200);
    EXPECT_EQ(diff.At(5, 1)[0], 0);
    EXPECT_EQ(with({"--tolerance", "200"}).code, 0);
    // An open-ended stream is compared at its last frame; the diff goes beside the golden.
    std::ofstream(dir + "in.raw", std::ios::binary) << std::string(3 * 8 * 8 * 4, '\x40');
    EXPECT_ONE_LINE(Run({"render", m, "--raw-in", "8x8", "--expect", dir + "g2.png"}, dir + "in.raw"), 1,
                    "frame 3 differs from " + dir +
                        "g2.png: 1 of 64 pixels off by more than 2, worst 200 at (3,2); "
                        "diff picture " +
                        dir + "g2.diff.png");

    ASSERT_TRUE(tessivar::WritePng(dir + "g1.png", Image(4, 4), error)) << error;
    EXPECT_ONE_LINE(with({}), 1,
                    "2 of 2 frames differ from their goldens; first frame 1 differs from " + dir +
                        "g1.png: it is 8x8, the golden 4x4");
    // Updating replaces the goldens there (which Windows' C library refuses).
    EXPECT_EQ(with({"--update-expected"}).code, 0);
    EXPECT_EQ(with({}).code, 0);
}

// A golden names the renderer it was made on. On another, each channel may be
// off by up to 8 and 1% of the pixels by more, and the run says so; on its
// own renderer the tolerance alone holds.
TEST_F(Cli, GoldensFromAnotherRendererAreHeldToTheLooserRule) {
    const std::string golden = dir + "g.png";
    const std::vector<std::string> render = {
        "render", Module("FRAMETESTPLUGIN"), "--pattern", "grid", "--size", "20x20", "--expect", golden};
    std::vector<std::string> update = render;
    update.push_back("--update-expected");
    ASSERT_EQ(Run(update).code, 0);
    Image made;
    tessivar::PngText text;
    std::string error;
    ASSERT_TRUE(tessivar::ReadPng(golden, made, error, &text)) << error;
    const std::string here = text["Renderer"];
    ASSERT_FALSE(here.empty());

    // `far` pixels off by 200, one more off by `near`, in a golden made on `renderer`.
    auto goldenWith = [&](int far, int near, const std::string& renderer) {
        Image g = made;
        for (int i = 0; i < far; ++i) g.At(uint32_t(i), 3)[0] = uint8_t(g.At(uint32_t(i), 3)[0] ^ 200);
        g.At(10, 10)[1] = uint8_t(g.At(10, 10)[1] < 128 ? g.At(10, 10)[1] + near : g.At(10, 10)[1] - near);
        ASSERT_TRUE(tessivar::WritePng(golden, g, error, {{"Renderer", renderer}})) << error;
    };
    goldenWith(4, 8, "Another Renderer");  // 400 pixels: 4 may be further off, the 8 is within
    const Result within = Run(render);
    EXPECT_EQ(within.code, 0) << within.err;
    EXPECT_EQ(within.err, "ffglrun: note: golden " + golden + " was made on \"Another Renderer\", this is \"" + here +
                              "\": each channel within 8, up to 4 pixels further off (10 in 1000)\n");
    goldenWith(5, 8, "Another Renderer");
    EXPECT_ONE_LINE(Run(render), 1,
                    "5 of 400 pixels off by more than 8 (4 may be: the golden was made on another renderer)");
    goldenWith(4, 9, "Another Renderer");
    EXPECT_ONE_LINE(Run(render), 1, "5 of 400 pixels off by more than 8");
    goldenWith(0, 3, here);
    EXPECT_ONE_LINE(Run(render), 1, "1 of 400 pixels off by more than 2, worst 3");
}

// Names past ASCII wherever a path goes: the module's folder, an output, a
// golden. (Windows reads narrow names in the ANSI code page; ffglrun takes
// its arguments and opens its files through the wide calls there.)
TEST_F(Cli, PathsBeyondAsciiAreTakenAsGiven) {
    const std::string folder = dir + "caf\xc3\xa9 \xe2\x9c\x93/";  // "cafe" with an acute e, a check mark
    ASSERT_TRUE(fs::create_directory(fs::u8path(folder)));
    const fs::path source = fs::u8path(Module("FRAMETESTPLUGIN"));
    const std::string module = folder +
                               "m\xc3\xb6"
                               "dule" +
                               source.extension().u8string();
    fs::copy_file(source, fs::u8path(module));
    const Result info = Run({"info", module});
    EXPECT_EQ(info.code, 0) << info.err;
    const std::string out = folder + "\xc3\xb6ut.png", golden = folder + "g\xc3\xb6lden.png";
    const std::vector<std::string> render = {"render", module, "--pattern", "grid", "--size",           "8x8",
                                             "--out",  out,    "--expect",  golden, "--update-expected"};
    const Result made = Run(render);
    EXPECT_EQ(made.code, 0) << made.err;
    Image picture;
    std::string error;
    EXPECT_TRUE(tessivar::ReadPng(golden, picture, error)) << error;
    EXPECT_TRUE(tessivar::ReadPng(out, picture, error)) << error;
    if (!tessivar::MediaSupported()) return;
    // A clip in and a video out through FFmpeg's own file calls.
    const std::string clip = folder + "cl\xc3\xadp.mkv", video = folder +
                                                                 "v\xc3\xad"
                                                                 "deo \xe2\x9c\x93.mp4";
    ASSERT_EQ(Run({"render", module, "--pattern", "grid", "--size", "16x16", "--frames", "2", "--out", clip}).code, 0);
    const Result through = Run({"render", module, "--input", clip, "--out", video});
    EXPECT_EQ(through.code, 0) << through.err;
    auto written = tessivar::ClipReader::Open(video, error);
    tessivar::VideoFrame frame;
    int frames = 0;
    while (written && written->Next(frame, error)) ++frames;
    EXPECT_EQ(frames, 2) << error;
}

#ifdef _WIN32
// Windows spells one file many ways: in any case, with either separator,
// relative to the current folder. Each spelling of a clip is its input.
TEST_F(Cli, AnInputSpelledAnotherWayIsStillTheInput) {
    if (!tessivar::MediaSupported()) GTEST_SKIP() << "this build has no media support";
    const std::string m = Module("FRAMETESTPLUGIN"), clip = dir + "clip.mkv";
    ASSERT_EQ(Run({"render", m, "--pattern", "grid", "--size", "8x8", "--frames", "2", "--out", clip}).code, 0);
    const std::string before = slurp(clip);
    std::string upper = clip, forward = clip;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (char& c : forward) c = c == '\\' ? '/' : c;
    const std::string folder = fs::path(dir).parent_path().filename().string();
    const std::string relative = "..\\" + folder + "\\clip.mkv";
    const fs::path cwd = fs::current_path();
    fs::current_path(fs::path(dir));  // the child starts here
    for (const std::string& out : {upper, forward, relative, std::string("clip.mkv"), std::string(".\\CLIP.mkv")}) {
        const Result r = Run({"render", m, "--input", clip, "--out", out});
        EXPECT_ONE_LINE(r, 1, out + ": would overwrite the input " + clip + "; choose another name");
    }
    fs::current_path(cwd);
    EXPECT_EQ(slurp(clip), before);
}
#endif

// The soak fails a module that keeps a texture or a small block of heap per
// cycle, and its JSON stays whole though the module prints every frame.
TEST_F(Cli, SoakFailsATextureOrHeapKeptPerCycle) {
    const std::string m = Module("LEAKYPLUGIN");
    EXPECT_ONE_LINE(Run({"soak", m, "--cycles", "100"}, clitest::kNullDevice, {"LEAKY_PLUGIN_FAULT=texture"}), 1,
                    m + " fails the soak: instances: GL objects left behind (textures: ");
    const Result heap =
        Run({"soak", m, "--cycles", "200", "--json"}, clitest::kNullDevice, {"LEAKY_PLUGIN_FAULT=heap"});
    EXPECT_EQ(heap.code, 1);
    const auto j = nlohmann::json::parse(heap.out);
    EXPECT_EQ(j["passed"], false);
    const auto& instances = j["phases"][0];
    EXPECT_EQ(instances["name"], "instances");
    EXPECT_EQ(instances["cycles"], 200);
    EXPECT_GE(instances["bytes_per_cycle"].get<double>(), 48.0);
    EXPECT_EQ(instances["gl_objects"]["before"], instances["gl_objects"]["after"]);
    EXPECT_EQ(j["phases"][1]["passed"], true);
    EXPECT_NE(j["problems"].get<std::string>().find("instances: heap grew"), std::string::npos) << j["problems"];
}

TEST_F(Cli, BenchReportsItsTimesAsJson) {
    const Result bench = Run({"bench", Module("FRAMETESTPLUGIN"), "--size", "8x8", "--frames", "3", "--json"});
    ASSERT_EQ(bench.code, 0) << bench.err;
    const auto b = nlohmann::json::parse(bench.out);
    EXPECT_EQ(b["width"], 8);
    EXPECT_EQ(b["frames"], 3);
    for (const char* key : {"module_ms", "floor_ms"})
        for (const char* stat : {"min", "median", "mean", "frames_per_second"})
            EXPECT_GT(b[key][stat], 0.0) << key << stat;
}

}  // namespace
