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

const char* const kModules[] = {"TESSIVAR_MODULE_FRAMETESTPLUGIN", "TESSIVAR_MODULE_FAILINGINITPLUGIN",
                                "TESSIVAR_MODULE_THROWINGPLUGIN", "TESSIVAR_MODULE_EMPTYMODULE"};

// One line per dynamic symbol: "<kind> <name>" (addresses dropped).
std::vector<std::pair<char, std::string>> DynamicSymbols(const std::string& path, const char* which,
                                                         bool demangle = true) {
    const std::string command =
        std::string(TESSIVAR_NM) + " -D " + (demangle ? "-C " : "") + which + " '" + path + "'";
    std::vector<std::pair<char, std::string>> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string s(line);
        if (!s.empty() && s.back() == '\n') s.pop_back();
        // "<16 hex or spaces> <kind> <name>"
        if (s.size() < 20) continue;
        out.emplace_back(s[17], s.substr(19));
    }
    pclose(pipe);
    return out;
}

std::string BaseName(const std::string& demangled) { return demangled.substr(0, demangled.find('(')); }

TEST(ModuleExports, EntryPointsAreFoundUnderTheirPlainNames) {
    for (const char* env : kModules) {
        SCOPED_TRACE(env);
        Module m(ModulePath(env));
        ASSERT_TRUE(m.Loaded()) << m.Error();
        EXPECT_NE(m.Symbol("plugMain"), nullptr);
        EXPECT_NE(m.Symbol("SetLogCallback"), nullptr);
    }
}

TEST(ModuleExports, OnlyTheHostFacingNamesAreExported) {
    const std::set<std::string> allowed = {
        "plugMain", "SetLogCallback", "getInfo", "initialise", "deInitialise", "instantiateGL",
        "deInstantiateGL", "processGL", "getNumParameters", "getParameterName", "getParameterDefault",
        "getPluginCaps", "getExtendedInfo", "getParameterType", "getNumParameterElements", "getParameterUsage",
        "getPluginShortName", "getParameterElementName", "getParameterElementDefault", "getParamRange",
        "getThumbnail", "getNumFileParameterExtensions", "getFileParameterExtension",
        "getDefaultParameterVisibility", "GetNumElementSeparators", "GetElementSeparatorElementIndex",
        "getParamGroup", "InitGLExts", "ValidateContextState"};
    for (const char* env : kModules) {
        SCOPED_TRACE(env);
        const auto symbols = DynamicSymbols(ModulePath(env), "--defined-only");
        std::set<std::string> seen;
        for (const auto& [kind, name] : symbols) {
            const std::string base = BaseName(name);
            if (base.rfind("__", 0) == 0) continue;  // toolchain and sanitizer runtime bookkeeping
            if (base == "tessivarTestControl") continue;  // the test modules' own extra
            EXPECT_TRUE(allowed.count(base)) << "unexpected export: " << kind << " " << name;
            seen.insert(base);
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
        const auto symbols = DynamicSymbols(ModulePath(env), "--undefined-only", false);
        EXPECT_FALSE(symbols.empty());  // nm ran and found at least the C library
        for (const auto& [kind, versioned] : symbols) {
            if (kind == 'w' || kind == 'v') continue;  // weak: may stay unresolved by design
            const std::string name = versioned.substr(0, versioned.find('@'));
            // Sanitizer builds: the runtime may sit inside the executable.
            if (name.rfind("__asan", 0) == 0 || name.rfind("__ubsan", 0) == 0) continue;
            void* address = dlsym(RTLD_DEFAULT, name.c_str());
            Dl_info where{};
            ASSERT_TRUE(address && dladdr(address, &where) && where.dli_fname) << "unresolved: " << versioned;
            const std::string file = where.dli_fname;
            EXPECT_TRUE(file.rfind("/lib/", 0) == 0 || file.rfind("/usr/lib/", 0) == 0 ||
                        file.rfind("/lib64/", 0) == 0)
                << versioned << " comes from " << file;
        }
    }
}

std::vector<std::string> s_log;
void HostLog(const char* message) { s_log.emplace_back(message ? message : "(null)"); }

TEST(ModuleExports, SetLogCallbackHandsTheHostsFunctionToThePlugin) {
    Module m(ModulePath("TESSIVAR_MODULE_FRAMETESTPLUGIN"));
    ASSERT_TRUE(m.Loaded()) << m.Error();
    using SetLog = void (*)(void (*)(const char*));
    auto setLog = reinterpret_cast<SetLog>(m.Symbol("SetLogCallback"));
    ASSERT_NE(setLog, nullptr);

    const uint64_t instance = m.Instantiate(16, 16);
    ASSERT_NE(instance, kFail);
    s_log.clear();
    m.Call(21 /*FF_CONNECT*/, 0, instance);
    EXPECT_TRUE(s_log.empty());  // no function yet: dropped

    setLog(HostLog);
    m.Call(22 /*FF_DISCONNECT*/, 0, instance);
    m.Call(21 /*FF_CONNECT*/, 0, instance);
    EXPECT_EQ(s_log, std::vector<std::string>{"FrameTestPlugin connected"});

    setLog(nullptr);
    m.Call(21, 0, instance);
    EXPECT_EQ(s_log.size(), 1u);
    m.Deinstantiate(instance);
    m.Call(2 /*FF_DEINITIALISE*/);
}

}  // namespace
