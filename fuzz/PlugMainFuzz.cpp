#include "fuzz/PlugMainFuzz.h"

#include "gl/GLIncludes.h"
#include "host/FFGLABI.h"
#include "runner/GLFrame.h"
#include "runner/platform/gl/HeadlessGL.h"

#include "runner/platform/Library.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// The entry's exact type: calling it through any other (even one the ABI
// treats alike) is undefined, and clang's sanitizer says so.
using Entry = FFMixed (*)(uint32_t, FFMixed, FFInstanceID);
constexpr uint64_t kFail = 0xFFFFFFFFull;
constexpr uint32_t kCodes = 61;
constexpr int kMaxCallsPerInput = 96;
constexpr uint32_t kTarget = 64;

[[noreturn]] void finding(const char* what, uint32_t code, const std::string& detail = "") {
    std::fprintf(stderr, "plugMain fuzz: %s after code %u%s%s\n", what, code, detail.empty() ? "" : ": ",
                 detail.c_str());
    std::abort();
}

// Reads the input front to back; past the end every read is 0.
class Bytes {
public:
    Bytes(const uint8_t* d, size_t n) : data(d), size(n) {}
    bool More() const { return pos < size; }
    uint8_t U8() { return pos < size ? data[pos++] : 0; }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(U8()) << (8 * i);
        return v;
    }
    uint64_t U64() { return U32() | (uint64_t(U32()) << 32); }
    // Mostly small numbers (the interesting ones), sometimes any 32 bits.
    uint32_t Index() {
        const uint8_t b = U8();
        return b < 0xF0 ? b % 24 : U32();
    }
    float Float() {
        const uint8_t b = U8();
        if (b < 0xC0) return float(b % 101) / 100.0f;  // the usual 0..1
        const uint32_t bits = U32();                     // anything, NaN included
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    // A zero-terminated text of up to 40 bytes.
    std::string Text() {
        const uint8_t n = U8() % 41;
        std::string s;
        for (uint8_t i = 0; i < n; ++i) {
            const char c = char(U8());
            s.push_back(c ? c : ' ');
        }
        return s;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

// A record as the host lays it out, 8-byte aligned.
struct Record {
    explicit Record(size_t n) : words((n + 7) / 8 + 1, 0) {}
    template <typename T>
    void Put(size_t off, T v) { std::memcpy(reinterpret_cast<uint8_t*>(words.data()) + off, &v, sizeof v); }
    template <typename T>
    T Get(size_t off) const {
        T v;
        std::memcpy(&v, reinterpret_cast<const uint8_t*>(words.data()) + off, sizeof v);
        return v;
    }
    uint64_t Arg() { return uint64_t(reinterpret_cast<uintptr_t>(words.data())); }
    std::vector<uint64_t> words;
};

// Touches every byte of a text the plugin handed out, so a bad pointer or a
// missing terminator shows up under the address sanitizer. Null and FF_FAIL
// in place of a pointer are the two ways a text answer says "none".
void readText(const char* text, size_t limit = 1u << 16) {
    if (!text || uintptr_t(text) == kFail) return;
    volatile size_t sum = 0;
    for (size_t i = 0; i < limit && text[i]; ++i) sum = sum + uint8_t(text[i]);
}

struct Host {
    std::unique_ptr<tessivar::HeadlessGL> gl;
    void* handle = nullptr;
    Entry entry = nullptr;
    std::vector<uint32_t> types;  // of the registered parameters
    tessivar::RenderTarget target;
    std::vector<std::unique_ptr<tessivar::InputTexture>> textures;
    uint64_t instance = 0;  // the live instance, or 0

    uint64_t Call(uint32_t code, uint64_t input, uint64_t id) const {
        FFMixed in;
        in.Bits = input;
        return entry(code, in, reinterpret_cast<FFInstanceID>(uintptr_t(id))).Bits;
    }
    bool IsText(uint32_t index) const {
        return index < types.size() && (types[index] == FF_TYPE_TEXT || types[index] == FF_TYPE_FILE);
    }
};

Host* g_host = nullptr;

tessivar::Image pattern(uint32_t w, uint32_t h) {
    tessivar::Image image(w, h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            uint8_t* p = image.At(x, y);
            p[0] = uint8_t(x * 7);
            p[1] = uint8_t(y * 5);
            p[2] = 128;
            p[3] = (x > w / 4 && y > h / 5) ? 255 : 0;
        }
    return image;
}

bool setUp(Host& host, std::string& error) {
    const char* path = std::getenv("TESSIVAR_FUZZ_MODULE");
#ifdef TESSIVAR_FUZZ_DEFAULT_MODULE
    if (!path || !*path) path = TESSIVAR_FUZZ_DEFAULT_MODULE;
#endif
    if (!path || !*path) {
        error = "set TESSIVAR_FUZZ_MODULE to the module to fuzz";
        return false;
    }
    host.gl = tessivar::HeadlessGL::Create(error);
    if (!host.gl) return false;
    host.handle = tessivar::OpenLibrary(path, error);
    if (!host.handle) return false;
    host.entry = reinterpret_cast<Entry>(tessivar::LibrarySymbol(host.handle, "plugMain"));
    if (!host.entry) {
        error = std::string("no plugMain in ") + path;
        return false;
    }
    const uint64_t n = host.Call(FF_GET_NUM_PARAMETERS, 0, 0);
    for (uint32_t i = 0; n != kFail && i < n; ++i)
        host.types.push_back(uint32_t(host.Call(FF_GET_PARAMETER_TYPE, i, 0)));
    host.Call(FF_DEINITIALISE, 0, 0);
    if (!host.target.Create(kTarget, kTarget)) {
        error = "cannot make the host's render target";
        return false;
    }
    // Exactly the image; an image padded inside a larger texture; one pixel.
    const uint32_t sizes[][4] = {{kTarget, kTarget, 0, 0}, {40, 30, 64, 32}, {1, 1, 0, 0}};
    for (const auto& s : sizes) {
        host.textures.push_back(std::make_unique<tessivar::InputTexture>());
        if (!host.textures.back()->Create(pattern(s[0], s[1]), s[2], s[3])) {
            error = "cannot make an input texture";
            return false;
        }
    }
    host.target.Bind();
    tessivar::DrainGLErrors();
    return true;
}

// One call, its record built from the bytes. Answers the raw result.
uint64_t call(Host& host, uint32_t code, uint8_t flags, Bytes& in) {
    const uint64_t live = (flags & 1) ? host.instance : 0;
    const bool nullRecord = flags & 2;
    switch (code) {
        case FF_SET_PARAMETER: {  // SetParameterStruct: the value's kind follows the parameter's type
            const uint32_t index = in.Index();
            Record r(16);
            r.Put<uint32_t>(0, index);
            const std::string text = in.Text();
            if (host.IsText(index)) r.Put<const char*>(8, text.c_str());
            else r.Put<float>(8, in.Float());
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_PARAMETER: {
            const uint32_t index = in.Index();
            const uint64_t answer = host.Call(code, index, live);
            if (live && host.IsText(index)) readText(reinterpret_cast<const char*>(uintptr_t(answer)));
            return answer;
        }
        case FF_GET_PARAMETER_NAME: {  // a 16-character name, terminated only when shorter
            const uint64_t answer = host.Call(code, in.Index(), live);
            readText(reinterpret_cast<const char*>(uintptr_t(answer)), 16);
            return answer;
        }
        case FF_GET_PARAMETER_DEFAULT: {
            const uint32_t index = in.Index();
            const uint64_t answer = host.Call(code, index, live);
            if (host.IsText(index)) readText(reinterpret_cast<const char*>(uintptr_t(answer)));
            return answer;
        }
        case FF_GET_PARAMETER_DISPLAY:
        case FF_GET_PLUGIN_SHORT_NAME: {
            const uint64_t answer = host.Call(code, in.Index(), live);
            readText(reinterpret_cast<const char*>(uintptr_t(answer)));
            return answer;
        }
        case FF_GET_INFO: {
            const uint64_t answer = host.Call(code, in.U64(), live);
            if (answer) readText(reinterpret_cast<const char*>(uintptr_t(answer)) + 12, 16);
            return answer;
        }
        case FF_GET_EXTENDED_INFO: {
            const uint64_t answer = host.Call(code, in.U64(), live);
            if (answer) {
                const auto* ext = reinterpret_cast<const uint8_t*>(uintptr_t(answer));
                const char* texts[2];
                std::memcpy(&texts[0], ext + 8, 8);
                std::memcpy(&texts[1], ext + 16, 8);
                readText(texts[0]);
                readText(texts[1]);
            }
            return answer;
        }
        case FF_PROCESS_OPENGL: {  // ProcessOpenGLStruct with 0..2 real inputs
            if (nullRecord) return host.Call(code, 0, live);
            std::vector<Record> textures;
            std::vector<const void*> pointers;
            const uint32_t count = (flags >> 2) % 3;
            for (uint32_t i = 0; i < count; ++i) {
                const FFGLTextureStruct& d = host.textures[in.U8() % host.textures.size()]->Desc();
                textures.emplace_back(20);
                Record& t = textures.back();
                t.Put<uint32_t>(0, d.Width);
                t.Put<uint32_t>(4, d.Height);
                t.Put<uint32_t>(8, d.HardwareWidth);
                t.Put<uint32_t>(12, d.HardwareHeight);
                t.Put<uint32_t>(16, d.Handle);
            }
            for (Record& t : textures) pointers.push_back(t.words.data());
            Record r(24);
            r.Put<uint32_t>(0, count);
            r.Put<const void*>(8, pointers.empty() ? nullptr : pointers.data());
            r.Put<uint32_t>(16, host.target.Framebuffer());
            host.target.Clear(0, 0, 0, 0);
            return host.Call(code, r.Arg(), live);
        }
        case FF_INSTANTIATE_GL:
        case FF_RESIZE: {  // FFGLViewportStruct
            if (nullRecord && code == FF_INSTANTIATE_GL) return host.Call(code, 0, live);
            Record r(16);
            r.Put<uint32_t>(0, in.U8());
            r.Put<uint32_t>(4, in.U8());
            r.Put<uint32_t>(8, in.U8());
            r.Put<uint32_t>(12, in.U8());
            if (code == FF_RESIZE) return host.Call(code, r.Arg(), live);
            // The host keeps one instance at most: the old one goes first.
            if (host.instance) {
                host.Call(FF_DEINSTANTIATE_GL, 0, host.instance);
                host.instance = 0;
            }
            const uint64_t answer = host.Call(code, r.Arg(), 0);
            if (answer != kFail && answer != 0) host.instance = answer;
            return answer;
        }
        case FF_DEINSTANTIATE_GL: {
            const uint64_t answer = host.Call(code, in.U64(), live);
            if (live) host.instance = 0;
            return answer;
        }
        case FF_SET_TIME: {
            if (nullRecord) return host.Call(code, 0, live);
            Record r(8);
            const uint8_t b = in.U8();
            r.Put<double>(0, b < 0xE0 ? b * 0.25 : double(in.Float()));
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_PARAMETER_ELEMENT_NAME:
        case FF_GET_PARAMETER_ELEMENT_DEFAULT:
        case FF_GET_FILE_PARAMETER_EXTENSION:
        case FF_GET_SEPARATOR_ELEMENT_INDEX: {  // ElementQueryStruct
            Record r(8);
            const uint32_t index = in.Index();
            r.Put<uint32_t>(0, index);
            r.Put<uint32_t>(4, in.Index());
            const uint64_t answer = host.Call(code, r.Arg(), live);
            if (code == FF_GET_PARAMETER_ELEMENT_NAME || code == FF_GET_FILE_PARAMETER_EXTENSION)
                readText(reinterpret_cast<const char*>(uintptr_t(answer)));
            return answer;
        }
        case FF_SET_PARAMETER_ELEMENT_VALUE: {  // SetElementValueStruct
            Record r(12);
            r.Put<uint32_t>(0, in.Index());
            r.Put<uint32_t>(4, in.Index());
            r.Put<float>(8, in.Float());
            return host.Call(code, r.Arg(), live);
        }
        case FF_SET_BEAT_INFO: {  // BeatInfoStruct
            Record r(8);
            r.Put<float>(0, in.Float() * 240.0f);
            r.Put<float>(4, in.Float());
            return host.Call(code, r.Arg(), live);
        }
        case FF_SET_HOST_INFO: {  // HostInfoStruct: two texts
            const std::string name = in.Text();
            const std::string version = in.Text();
            Record r(16);
            r.Put<const char*>(0, name.c_str());
            r.Put<const char*>(8, version.c_str());
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_RANGE: {  // RangeQueryStruct
            Record r(12);
            r.Put<uint32_t>(0, in.Index());
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_THUMBNAIL: {  // GetThumbnailStruct: ask the size, then fetch into a buffer that fits
            if (nullRecord) return host.Call(code, 0, live);
            Record r(16);
            const uint64_t answer = host.Call(code, r.Arg(), live);
            const uint64_t pixels = uint64_t(r.Get<uint32_t>(0)) * r.Get<uint32_t>(4);
            if (answer != 0 || pixels == 0 || pixels > (1u << 22)) return answer;
            std::vector<uint32_t> buffer(pixels);
            r.Put<uint32_t*>(8, buffer.data());
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_PARAMETER_EVENTS: {  // ParamEventsQueryStruct: a null array, or one of the stated capacity
            const uint32_t capacity = in.U8() % 20;
            std::vector<uint64_t> events(size_t(capacity) * 2 + 1);
            Record r(16);
            r.Put<uint32_t>(0, capacity);
            r.Put<void*>(8, (flags & 4) ? events.data() : nullptr);
            const uint64_t answer = host.Call(code, r.Arg(), live);
            if ((flags & 4) && r.Get<uint32_t>(0) > capacity)
                finding("FF_GET_PARAMETER_EVENTS wrote more events than the capacity", code);
            return answer;
        }
        case FF_GET_PARAMETER_GROUP: {  // GroupQueryStruct: a buffer of exactly the stated capacity
            if (nullRecord) return host.Call(code, 0, live);
            const uint32_t capacity = in.U8() % 48;
            std::vector<char> buffer(capacity ? capacity : 1);
            Record r(24);
            r.Put<uint32_t>(0, in.Index());
            r.Put<char*>(8, capacity ? buffer.data() : nullptr);
            r.Put<uint32_t>(16, capacity);
            return host.Call(code, r.Arg(), live);
        }
        case FF_GET_NUM_PARAMETERS:
        case FF_GET_PLUGIN_CAPS:
        case FF_GET_PARAMETER_TYPE:
        case FF_GET_INPUT_STATUS:
        case FF_GET_NUM_PARAMETER_ELEMENTS:
        case FF_GET_PARAMETER_USAGE:
        case FF_SET_SAMPLE_RATE:
        case FF_GET_NUM_FILE_PARAMETER_EXTENSIONS:
        case FF_GET_PARAMETER_VISIBILITY:
        case FF_GET_NUM_ELEMENT_SEPARATORS:
        case FF_ENABLE_PLUGIN_CAP:
            return host.Call(code, in.Index(), live);
        default:  // the codes that ignore their input, and those without a meaning: any input at all
            return host.Call(code, in.U64(), live);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static Host host;
    std::string error;
    if (!setUp(host, error)) {
        std::fprintf(stderr, "plugMain fuzz: cannot start: %s\n", error.c_str());
        std::exit(2);
    }
    g_host = &host;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Host& host = *g_host;
    Bytes in(data, size);
    host.target.Bind();
    for (int n = 0; n < kMaxCallsPerInput && in.More(); ++n) {
        const uint32_t code = in.U8() % kCodes;
        const uint8_t flags = in.U8();
        const tessivar::GLStateSnapshot before = tessivar::GLStateSnapshot::Capture();
        call(host, code, flags, in);
        const std::string changed = before.Diff(tessivar::GLStateSnapshot::Capture());
        if (!changed.empty()) finding("host GL state changed", code, changed);
        if (tessivar::DrainGLErrors() != 0) finding("GL error left queued", code);
    }
    // Every input starts from a module with no instance and no prototype.
    if (host.instance) host.Call(FF_DEINSTANTIATE_GL, 0, host.instance);
    host.instance = 0;
    host.Call(FF_DEINITIALISE, 0, 0);
    if (tessivar::DrainGLErrors() != 0) finding("GL error left queued", FF_DEINSTANTIATE_GL);
    return 0;
}
