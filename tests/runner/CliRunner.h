// CliRunner -- runs the built ffglrun in a child process, the way a user
// does, and captures its exit status, standard output and standard error.
#pragma once

#include "tests/runner/CliProcess.h"
#include "tests/support/AbiHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out, err;
    // The single line of standard error, or a marker when there is not one.
    std::string Line() const {
        if (err.empty() || err.back() != '\n' || err.find('\n') != err.size() - 1) return "<not one line> " + err;
        return err.substr(0, err.size() - 1);
    }
};

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempFolder(::testing::TempDir());
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override {
        // Under Wine a helper process it starts may still hold a captured
        // stream open for a moment; a folder left in the temp dir is harmless.
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    static std::string Module(const char* target) {
        return testhost::ModulePath(("TESSIVAR_MODULE_" + std::string(target)).c_str());
    }
    // Runs ffglrun with `args`; standard input from `stdinPath`, extra
    // environment entries NAME=VALUE in `env`.
    Result Run(const std::vector<std::string>& args, const std::string& stdinPath = kNullDevice,
               const std::vector<std::string>& env = {}) {
        const std::string outPath = dir + "stdout", errPath = dir + "stderr";
        Result r;
        r.code = RunProgram(Module("FFGLRUN"), args, stdinPath, outPath, errPath, env);
        r.out = slurp(outPath);
        r.err = slurp(errPath);
        return r;
    }

#ifndef _WIN32
    // Runs ffglrun and sends it `signal` once `ready()` is true.
    Result RunAndSignal(const std::vector<std::string>& args, int signal, const std::function<bool()>& ready) {
        const std::string outPath = dir + "stdout", errPath = dir + "stderr";
        Result r;
        r.code = RunProgramAndSignal(Module("FFGLRUN"), args, outPath, errPath, signal, ready);
        r.out = slurp(outPath);
        r.err = slurp(errPath);
        return r;
    }
#else
    // Runs ffglrun and interrupts it as a console does once `ready()` is true.
    Result RunAndInterrupt(const std::vector<std::string>& args, const std::function<bool()>& ready) {
        const std::string outPath = dir + "stdout", errPath = dir + "stderr";
        // The test folder's own name, which only this run's command line holds.
        const std::string tag = fs::path(dir).parent_path().filename().string();
        Result r;
        r.code = RunProgramAndInterrupt(Module("FFGLRUN"), args, outPath, errPath, tag, ready);
        r.out = slurp(outPath);
        r.err = slurp(errPath);
        return r;
    }
#endif

    // Files in the test folder other than the captured streams.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::string n = e.path().filename().string();
            if (n != "stdout" && n != "stderr") names.push_back(n);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;
};

#define EXPECT_ONE_LINE(result, code_, text) \
    do { \
        EXPECT_EQ((result).code, code_) << (result).err; \
        EXPECT_NE((result).Line().find(text), std::string::npos) << (result).Line(); \
        EXPECT_EQ((result).Line().rfind("ffglrun: ", 0), 0u) << (result).Line(); \
    } while (0)

}  // namespace clitest
