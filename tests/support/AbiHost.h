// AbiHost -- a test host that talks to a module only through the binary
// interface, the way a real host does.
//
// Modules are loaded as the platform loads libraries (runner/platform/Library.h) and
// driven through their plugMain symbol. Records are built as raw bytes at
// fixed offsets (Record), never with the plugin's own structs, so a layout
// slip in the ABI header fails a test instead of passing silently. FFMixed travels as a plain 64-bit value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testhost {

constexpr uint64_t kFail = 0x00000000FFFFFFFFull;
constexpr uint64_t kSuccess = 0;

inline uint64_t FloatBits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}
inline float AsFloat(uint64_t v) {
    const uint32_t b = uint32_t(v);
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}
inline uint64_t PtrBits(const void* p) { return uint64_t(reinterpret_cast<uintptr_t>(p)); }
template <typename T>
inline T* AsPtr(uint64_t v) {
    return reinterpret_cast<T*>(uintptr_t(v));
}

// A host record as raw little-endian bytes, 8-byte aligned.
class Record {
public:
    explicit Record(size_t bytes) : storage((bytes + 7) / 8, 0), size(bytes) {}

    Record& U32(size_t off, uint32_t v) { return Put(off, &v, 4); }
    Record& F32(size_t off, float v) { return Put(off, &v, 4); }
    Record& U64(size_t off, uint64_t v) { return Put(off, &v, 8); }
    Record& F64(size_t off, double v) { return Put(off, &v, 8); }
    Record& Ptr(size_t off, const void* p) { return U64(off, PtrBits(p)); }

    uint32_t GetU32(size_t off) const {
        uint32_t v;
        Get(off, &v, 4);
        return v;
    }
    float GetF32(size_t off) const {
        float v;
        Get(off, &v, 4);
        return v;
    }
    uint64_t GetU64(size_t off) const {
        uint64_t v;
        Get(off, &v, 8);
        return v;
    }

    void* Data() { return storage.data(); }
    const uint8_t* Bytes() const { return reinterpret_cast<const uint8_t*>(storage.data()); }
    size_t Size() const { return size; }
    uint64_t Arg() { return PtrBits(Data()); }

private:
    Record& Put(size_t off, const void* v, size_t n);
    void Get(size_t off, void* v, size_t n) const;
    std::vector<uint64_t> storage;
    size_t size;
};

// Builders for the records a host passes, at their byte offsets.
Record Viewport(uint32_t x, uint32_t y, uint32_t w, uint32_t h);                      // 16 bytes
Record Texture(uint32_t w, uint32_t h, uint32_t hwW, uint32_t hwH, uint32_t handle);  // 20 bytes
Record SetParamFloat(uint32_t index, float value);                                    // 16 bytes
Record SetParamText(uint32_t index, const char* text);                                // 16 bytes
Record ElementQuery(uint32_t index, uint32_t position);                               // 8 bytes

// Input textures for FF_PROCESS_OPENGL: keeps the texture records, the pointer
// array and the 24-byte process record alive together.
class ProcessRecord {
public:
    ProcessRecord() = default;
    void AddInput(uint32_t w, uint32_t h, uint32_t hwW, uint32_t hwH, uint32_t handle);
    void AddNullInput();
    // Pointer to the process record; valid while this object is unchanged.
    uint64_t Arg();
    Record& Raw() { return process; }

private:
    std::vector<Record> textures;
    std::vector<const void*> pointers;
    std::vector<bool> isNull;
    Record process{24};
};

// Sees every call a Module makes, before and after (for instance to check the
// GL state a host relies on; see GLStateGuard in GLTest.h).
class CallObserver {
public:
    virtual ~CallObserver() = default;
    virtual void Before(uint32_t code) = 0;
    virtual void After(uint32_t code) = 0;
};

class Module {
public:
    explicit Module(const std::string& path);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    bool Loaded() const { return entry != nullptr; }
    const std::string& Error() const { return error; }
    void* Symbol(const char* name) const;

    uint64_t Call(uint32_t code, uint64_t input = 0, uint64_t instance = 0) const;
    // Every later Call is reported to `observer` (null: none); not owned.
    void Observe(CallObserver* o) { observer = o; }
    uint64_t Call(uint32_t code, Record& record, uint64_t instance = 0) const {
        return Call(code, record.Arg(), instance);
    }

    // Host conveniences built on Call.
    uint64_t Instantiate(uint32_t w, uint32_t h) const;  // raw answer (kFail on failure)
    void Deinstantiate(uint64_t instance) const { Call(19 /*FF_DEINSTANTIATE_GL*/, 0, instance); }
    uint64_t SetFloat(uint64_t instance, uint32_t index, float value) const;
    float GetFloat(uint64_t instance, uint32_t index) const;
    // Collects all pending events: pairs of (index, flags).
    std::vector<std::pair<uint32_t, uint64_t>> CollectEvents(uint64_t instance) const;

private:
    void* handle = nullptr;
    using Entry = uint64_t (*)(uint32_t, uint64_t, uint64_t);
    Entry entry = nullptr;
    CallObserver* observer = nullptr;
    std::string error;
};

// Path of a built module, handed to the test by CTest in the environment
// variable `name` (set from a generator expression, never guessed).
std::string ModulePath(const char* name);

}  // namespace testhost
