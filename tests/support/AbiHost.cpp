#include "tests/support/AbiHost.h"

#include "runner/platform/Library.h"

#include <cstdlib>
#include <stdexcept>

// This host calls plugMain as a host written against its own declarations
// does: through integers of the ABI's sizes, not through the module's C++
// type (a union, a pointer). The calling convention is the contract; clang's
// -fsanitize=function (the sanitize preset) compares C++ types and would
// refuse every call, so it is off in the functions that make them.
#if defined(__clang__)
#define TESTHOST_FOREIGN_CALLS __attribute__((no_sanitize("function")))
#else
#define TESTHOST_FOREIGN_CALLS
#endif

namespace testhost {

Record& Record::Put(size_t off, const void* v, size_t n) {
    if (off + n > size) throw std::out_of_range("record write past its end");
    std::memcpy(reinterpret_cast<uint8_t*>(storage.data()) + off, v, n);
    return *this;
}

void Record::Get(size_t off, void* v, size_t n) const {
    if (off + n > size) throw std::out_of_range("record read past its end");
    std::memcpy(v, reinterpret_cast<const uint8_t*>(storage.data()) + off, n);
}

Record Viewport(uint32_t x, uint32_t y, uint32_t w, uint32_t h) {
    Record r(16);
    r.U32(0, x).U32(4, y).U32(8, w).U32(12, h);
    return r;
}

Record Texture(uint32_t w, uint32_t h, uint32_t hwW, uint32_t hwH, uint32_t handle) {
    Record r(20);
    r.U32(0, w).U32(4, h).U32(8, hwW).U32(12, hwH).U32(16, handle);
    return r;
}

Record SetParamFloat(uint32_t index, float value) {
    Record r(16);
    r.U32(0, index).F32(8, value);
    return r;
}

Record SetParamText(uint32_t index, const char* text) {
    Record r(16);
    r.U32(0, index).Ptr(8, text);
    return r;
}

Record ElementQuery(uint32_t index, uint32_t position) {
    Record r(8);
    r.U32(0, index).U32(4, position);
    return r;
}

void ProcessRecord::AddInput(uint32_t w, uint32_t h, uint32_t hwW, uint32_t hwH, uint32_t handle) {
    textures.push_back(Texture(w, h, hwW, hwH, handle));
    isNull.push_back(false);
}

void ProcessRecord::AddNullInput() {
    textures.emplace_back(20);
    isNull.push_back(true);
}

uint64_t ProcessRecord::Arg() {
    pointers.clear();
    for (size_t i = 0; i < textures.size(); ++i) pointers.push_back(isNull[i] ? nullptr : textures[i].Data());
    process.U32(0, uint32_t(textures.size()));
    process.Ptr(8, pointers.empty() ? nullptr : pointers.data());
    return process.Arg();
}

Module::Module(const std::string& path) {
    handle = tessivar::OpenLibrary(path, error);
    if (!handle) return;
    entry = reinterpret_cast<Entry>(tessivar::LibrarySymbol(handle, "plugMain"));
    if (!entry) error = "no plugMain in " + path;
}

TESTHOST_FOREIGN_CALLS Module::~Module() {
    // A host says FF_DEINITIALISE before it unloads a module, so the prototype
    // goes with it; without it the prototype would stay allocated with no
    // module left to free it.
    if (entry) entry(2 /*FF_DEINITIALISE*/, 0, 0);
    tessivar::CloseLibrary(handle);
}

void* Module::Symbol(const char* name) const { return tessivar::LibrarySymbol(handle, name); }

TESTHOST_FOREIGN_CALLS uint64_t Module::Call(uint32_t code, uint64_t input, uint64_t instance) const {
    if (!entry) throw std::runtime_error("module not loaded: " + error);
    if (observer) observer->Before(code);
    const uint64_t answer = entry(code, input, instance);
    if (observer) observer->After(code);
    return answer;
}

uint64_t Module::Instantiate(uint32_t w, uint32_t h) const {
    Record vp = Viewport(0, 0, w, h);
    return Call(18 /*FF_INSTANTIATE_GL*/, vp);
}

uint64_t Module::SetFloat(uint64_t instance, uint32_t index, float value) const {
    Record r = SetParamFloat(index, value);
    return Call(8 /*FF_SET_PARAMETER*/, r, instance);
}

float Module::GetFloat(uint64_t instance, uint32_t index) const {
    return AsFloat(Call(9 /*FF_GET_PARAMETER*/, index, instance));
}

std::vector<std::pair<uint32_t, uint64_t>> Module::CollectEvents(uint64_t instance) const {
    Record query(16);
    query.U32(0, 0).Ptr(8, nullptr);
    Call(46 /*FF_GET_PARAMETER_EVENTS*/, query, instance);
    const uint32_t pending = query.GetU32(0);
    std::vector<std::pair<uint32_t, uint64_t>> out;
    if (pending == 0) return out;
    Record events(size_t(pending) * 16);
    query.U32(0, pending).Ptr(8, events.Data());
    Call(46, query, instance);
    const uint32_t got = query.GetU32(0);
    for (uint32_t i = 0; i < got && i < pending; ++i)
        out.emplace_back(events.GetU32(i * 16), events.GetU64(i * 16 + 8));
    return out;
}

std::string ModulePath(const char* name) {
    const char* v = std::getenv(name);
    if (!v || !*v) throw std::runtime_error(std::string("environment variable ") + name + " does not name a module");
    return v;
}

}  // namespace testhost
