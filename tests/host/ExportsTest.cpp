// What a built module offers the dynamic linker: the host-facing names under
// their plain spellings, nothing else of ours, and no undefined symbol that
// the system libraries would not resolve.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/AbiHost.h"

using namespace testhost;

namespace {

const char* const kModules[] = {"TESSIVAR_MODULE_FRAMETESTPLUGIN", "TESSIVAR_MODULE_FAULTYPLUGIN",
                                "TESSIVAR_MODULE_EMPTYMODULE"};

// Each dynamic symbol as (name, kind), from nm's portable format. Demangled
// names are cut at their parameter list.
std::vector<std::pair<std::string, char>> DynamicSymbols(const std::string& path, const char* which) {
    std::vector<std::pair<std::string, char>> out;
    FILE* pipe = popen((std::string(TESSIVAR_NM) + " -DP " + which + " '" + path + "'").c_str(), "r");
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string name;
        char kind = '?';
        fields >> name >> kind;
        out.emplace_back(name.substr(0, name.find('(')), kind);
    }
    if (pipe) pclose(pipe);
    return out;
}

TEST(ModuleExports, OnlyTheHostFacingNamesAreExportedUnderTheirPlainNames) {
    // The list every module's export file is made from (cmake/FFGLExports.cmake).
    std::set<std::string> allowed;
    std::istringstream list(TESSIVAR_HOST_EXPORTS);
    for (std::string name; std::getline(list, name, ',');) allowed.insert(name);
    ASSERT_TRUE(allowed.count("plugMain") && allowed.count("getInfo")) << TESSIVAR_HOST_EXPORTS;
    for (const char* env : kModules) {
        SCOPED_TRACE(env);
        Module m(ModulePath(env));
        ASSERT_TRUE(m.Loaded()) << m.Error();
        EXPECT_NE(m.Symbol("SetLogCallback"), nullptr);  // plugMain: Loaded() found it
        std::set<std::string> seen;
        for (const auto& [name, kind] : DynamicSymbols(ModulePath(env), "--defined-only -C")) {
            if (name.rfind("__", 0) == 0) continue;                // toolchain and sanitizer runtime bookkeeping
            if (name != "tessivarTestControl") seen.insert(name);  // the test modules' own extra
        }
        EXPECT_EQ(seen, allowed);
    }
}

// Each undefined symbol is looked up the way the dynamic linker would, in the
// libraries this (C++) test process already has, and must come from a system
// library directory.
TEST(ModuleExports, EveryUndefinedSymbolComesFromASystemLibrary) {
    for (const char* env : kModules) {
        SCOPED_TRACE(env);
        const auto symbols = DynamicSymbols(ModulePath(env), "--undefined-only");
        EXPECT_FALSE(symbols.empty());  // nm ran and found at least the C library
        for (const auto& [versioned, kind] : symbols) {
            if (kind == 'w' || kind == 'v') continue;  // weak: may stay unresolved by design
            const std::string name = versioned.substr(0, versioned.find('@'));
            // Sanitizer builds: the runtime may sit inside the executable.
            if (name.rfind("__asan", 0) == 0 || name.rfind("__ubsan", 0) == 0) continue;
            void* address = dlsym(RTLD_DEFAULT, name.c_str());
            Dl_info where{};
            ASSERT_TRUE(address && dladdr(address, &where) && where.dli_fname) << "unresolved: " << versioned;
            const std::string file = where.dli_fname;
            EXPECT_TRUE(file.rfind("/lib/", 0) == 0 || file.rfind("/usr/lib/", 0) == 0 || file.rfind("/lib64/", 0) == 0)
                << versioned << " comes from " << file;
        }
    }
}

}  // namespace
