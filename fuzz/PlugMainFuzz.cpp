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
// Small frames: what a plugin does per pixel is not what is fuzzed here. The
// resident instance is told of a larger viewport, as a host that scales its
// layers down for a preview would, so that its guides have room to be drawn.
constexpr uint32_t kTarget = 32;
constexpr uint32_t kInstanceSide = 64;
// Making an instance compiles and links its programs, which on llvmpipe
// costs as much as hundreds of inputs; so one resident instance lives across
// inputs, and is made anew only every so often (and after an input removed
// it), which keeps creation and teardown covered.
constexpr uint64_t kRecycleEvery = 1000;

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
        const uint32_t bits = U32();                   // anything, NaN included
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
    void Put(size_t off, T v) {
        std::memcpy(reinterpret_cast<uint8_t*>(words.data()) + off, &v, sizeof v);
    }
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

// A registered parameter: its type and default, to put the resident
// instance back where a new one starts.
struct Param {
    uint32_t type = 0;
    uint64_t defaultBits = 0;  // a float's bits
    std::string defaultText;   // for texts and files
};

struct Host {
    std::unique_ptr<tessivar::HeadlessGL> gl;
    void* handle = nullptr;
    Entry entry = nullptr;
    std::vector<Param> params;
    tessivar::RenderTarget target;
    std::vector<std::unique_ptr<tessivar::InputTexture>> textures;
    tessivar::GLStateSnapshot expected;  // the host's GL state between calls
    uint64_t resident = 0;               // lives across inputs; 0 until made (again)
    uint64_t fresh = 0;                  // made by the current input, removed at its end
    uint64_t runs = 0;

    // The instance calls go to: the current input's own, else the resident one.
    uint64_t Live() const { return fresh ? fresh : resident; }
    uint64_t Call(uint32_t code, uint64_t input, uint64_t id) const {
        FFMixed in;
        in.Bits = input;
        return entry(code, in, reinterpret_cast<FFInstanceID>(uintptr_t(id))).Bits;
    }
    bool IsText(uint32_t index) const {
        return index < params.size() && (params[index].type == FF_TYPE_TEXT || params[index].type == FF_TYPE_FILE);
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
    for (uint32_t i = 0; n != kFail && i < n; ++i) {
        Param p;
        p.type = uint32_t(host.Call(FF_GET_PARAMETER_TYPE, i, 0));
        p.defaultBits = host.Call(FF_GET_PARAMETER_DEFAULT, i, 0);
        const auto* text = reinterpret_cast<const char*>(uintptr_t(p.defaultBits));
        if ((p.type == FF_TYPE_TEXT || p.type == FF_TYPE_FILE) && text && p.defaultBits != kFail) p.defaultText = text;
        host.params.push_back(p);
    }
    host.Call(FF_DEINITIALISE, 0, 0);
    if (!host.target.Create(kTarget, kTarget)) {
        error = "cannot make the host's render target";
        return false;
    }
    // Exactly the image; an image padded inside a larger texture; one pixel.
    const uint32_t sizes[][4] = {{kTarget, kTarget, 0, 0}, {10, 6, 16, 8}, {1, 1, 0, 0}};
    for (const auto& s : sizes) {
        host.textures.push_back(std::make_unique<tessivar::InputTexture>());
        if (!host.textures.back()->Create(pattern(s[0], s[1]), s[2], s[3])) {
            error = "cannot make an input texture";
            return false;
        }
    }
    host.target.Bind();
    tessivar::DrainGLErrors();
    host.expected = tessivar::GLStateSnapshot::Capture();
    return true;
}

// After every call the host's GL state must be as it was, with no error queued.
void checkGL(uint32_t code, const tessivar::GLStateSnapshot& expected) {
    const tessivar::GLStateSnapshot now = tessivar::GLStateSnapshot::Capture();
    if (now != expected) finding("host GL state changed", code, expected.Diff(now));
    if (tessivar::DrainGLErrors() != 0) finding("GL error left queued", code);
}
void checkGL(const Host& host, uint32_t code) { checkGL(code, host.expected); }

uint64_t checkedCall(const Host& host, uint32_t code, uint64_t input, uint64_t id) {
    const uint64_t answer = host.Call(code, input, id);
    checkGL(host, code);
    return answer;
}

// A process call with the first input, as the host makes it every frame.
void frame(Host& host, uint64_t id) {
    Record t(20);
    const FFGLTextureStruct& d = host.textures.front()->Desc();
    t.Put<uint32_t>(0, d.Width);
    t.Put<uint32_t>(4, d.Height);
    t.Put<uint32_t>(8, d.HardwareWidth);
    t.Put<uint32_t>(12, d.HardwareHeight);
    t.Put<uint32_t>(16, d.Handle);
    const void* inputs[1] = {t.words.data()};
    Record r(24);
    r.Put<uint32_t>(0, 1);
    r.Put<const void*>(8, inputs);
    r.Put<uint32_t>(16, host.target.Framebuffer());
    checkedCall(host, FF_PROCESS_OPENGL, r.Arg(), id);
}

uint64_t makeInstance(Host& host) {
    Record r(16);
    r.Put<uint32_t>(8, kInstanceSide);
    r.Put<uint32_t>(12, kInstanceSide);
    const uint64_t id = checkedCall(host, FF_INSTANTIATE_GL, r.Arg(), 0);
    return id == kFail ? 0 : id;
}

// Makes the resident instance anew every so often, and when an input removed
// it, at the end of that input, so its cost counts to the input that caused it.
void renewResident(Host& host) {
    if (host.resident && ++host.runs % kRecycleEvery == 0) {
        checkedCall(host, FF_DEINSTANTIATE_GL, 0, host.resident);
        host.resident = 0;
    }
    if (host.resident) return;
    host.resident = makeInstance(host);
    if (host.resident) frame(host, host.resident);  // its first frame compiles what it draws with
}

// Puts the resident instance where a new one starts, as far as a host can:
// every parameter at its default, the host's viewport, time 0, no events
// pending.
void prepareResident(Host& host) {
    if (!host.resident) return;
    for (uint32_t i = 0; i < host.params.size(); ++i) {
        const Param& p = host.params[i];
        Record r(16);
        r.Put<uint32_t>(0, i);
        if (host.IsText(i))
            r.Put<const char*>(8, p.defaultText.c_str());
        else
            r.Put<uint64_t>(8, p.defaultBits);
        checkedCall(host, FF_SET_PARAMETER, r.Arg(), host.resident);
    }
    Record viewport(16);
    viewport.Put<uint32_t>(8, kInstanceSide);
    viewport.Put<uint32_t>(12, kInstanceSide);
    checkedCall(host, FF_RESIZE, viewport.Arg(), host.resident);
    Record time(8);
    checkedCall(host, FF_SET_TIME, time.Arg(), host.resident);
    std::vector<uint64_t> events(2 * 64);
    Record query(16);
    query.Put<uint32_t>(0, 64);
    query.Put<void*>(8, events.data());
    checkedCall(host, FF_GET_PARAMETER_EVENTS, query.Arg(), host.resident);
}

// Whether an input's FF_INSTANTIATE_GL, or its FF_DEINSTANTIATE_GL of the
// resident instance, really makes or removes one: one flag value in sixteen,
// so that the inputs the fuzzer keeps stay mostly fast. The others are
// refused cheaply (no record, no instance).
bool lifecycle(uint8_t flags) { return (flags & 0xF0) == 0xF0; }

// One call, its record built from the bytes. Answers the raw result.
uint64_t call(Host& host, uint32_t code, uint8_t flags, Bytes& in) {
    const uint64_t live = (flags & 1) ? host.Live() : 0;
    const bool nullRecord = flags & 2;
    switch (code) {
        case FF_SET_PARAMETER: {  // SetParameterStruct: the value's kind follows the parameter's type
            const uint32_t index = in.Index();
            Record r(16);
            r.Put<uint32_t>(0, index);
            const std::string text = in.Text();
            if (host.IsText(index))
                r.Put<const char*>(8, text.c_str());
            else
                r.Put<float>(8, in.Float());
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
            // The host draws the layer through one of several viewports: the
            // whole target, a wide part, a part off the origin, one pixel.
            constexpr int side = int(kTarget);
            static const int viewports[4][4] = {
                {0, 0, side, side}, {0, 0, side, side * 3 / 4}, {5, 3, 20, 17}, {0, 0, 1, 1}};
            const int* v = viewports[(flags >> 4) & 3];
            glViewport(v[0], v[1], v[2], v[3]);
            tessivar::GLStateSnapshot expected = host.expected;
            std::copy(v, v + 4, expected.viewport);
            const uint64_t answer = host.Call(code, r.Arg(), live);
            checkGL(code, expected);
            glViewport(0, 0, side, side);
            return answer;
        }
        case FF_INSTANTIATE_GL:
        case FF_RESIZE: {  // FFGLViewportStruct
            if (code == FF_INSTANTIATE_GL && (nullRecord || !lifecycle(flags))) return host.Call(code, 0, live);
            Record r(16);
            r.Put<uint32_t>(0, in.U8());
            r.Put<uint32_t>(4, in.U8());
            r.Put<uint32_t>(8, in.U8());
            r.Put<uint32_t>(12, in.U8());
            if (code == FF_RESIZE) return host.Call(code, r.Arg(), live);
            // An input keeps one instance of its own at most: the old one goes first.
            if (host.fresh) checkedCall(host, FF_DEINSTANTIATE_GL, 0, host.fresh);
            host.fresh = 0;
            const uint64_t answer = host.Call(code, r.Arg(), 0);
            if (answer != kFail && answer != 0) host.fresh = answer;
            return answer;
        }
        case FF_DEINSTANTIATE_GL: {
            const uint64_t payload = in.U64();
            if (live && live == host.resident && !lifecycle(flags)) return host.Call(code, payload, 0);
            const uint64_t answer = host.Call(code, payload, live);
            if (live == host.fresh)
                host.fresh = 0;
            else if (live == host.resident)
                host.resident = 0;
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
        case FF_ENABLE_PLUGIN_CAP: return host.Call(code, in.Index(), live);
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
    // libFuzzer's first call, empty, counts no coverage: what runs once per
    // process must wait for the first input that does.
    if (size == 0) return 0;
    Host& host = *g_host;
    Bytes in(data, size);
    // The first input makes the resident instance, so what runs once per
    // process (resolving GL entry points) counts as covered.
    if (!host.resident) renewResident(host);
    prepareResident(host);
    for (int n = 0; n < kMaxCallsPerInput && in.More(); ++n) {
        const uint32_t code = in.U8() % kCodes;
        const uint8_t flags = in.U8();
        call(host, code, flags, in);
        checkGL(host, code);
    }
    // Every input starts without an instance of its own and without a prototype.
    if (host.fresh) checkedCall(host, FF_DEINSTANTIATE_GL, 0, host.fresh);
    host.fresh = 0;
    checkedCall(host, FF_DEINITIALISE, 0, 0);
    renewResident(host);
    // Lets the driver start on the queued frames, so they never pile up.
    glFinish();
    return 0;
}
