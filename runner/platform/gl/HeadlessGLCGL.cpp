// macOS: a CGL context with no drawable. Rendering goes to framebuffer
// objects, as with EGL and WGL. macOS offers 3.2 and 4.1 core profiles only;
// a GPU renderer is preferred, Apple's software renderer taken when there is
// none (virtual machines, CI).
//
// CGL is reached as the modules reach GL (gl/GLResolveDarwin.cpp): its seven
// entry points are found in the OpenGL framework by name when the first
// context is made, so this file needs no Apple header and cross-builds with
// the rest of the runner (make build-macos). The types and values below are
// CGL's own C interface (CGLTypes.h, CGLCurrent.h, OpenGL.h): opaque handles,
// and 32-bit enums for attributes, errors and profiles.
#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"

#include <dlfcn.h>

#include <cstdint>
#include <string>
#include <type_traits>

namespace tessivar {
namespace {

namespace cgl {
using PixelFormat = struct PixelFormatRecord*;  // CGLPixelFormatObj
using Context = struct ContextRecord*;          // CGLContextObj
using Attribute = int32_t;                      // CGLPixelFormatAttribute
using Error = int32_t;                          // CGLError

constexpr Attribute kAccelerated = 73;                   // kCGLPFAAccelerated
constexpr Attribute kRendererID = 70;                    // kCGLPFARendererID
constexpr Attribute kAllowOfflineRenderers = 96;         // kCGLPFAAllowOfflineRenderers
constexpr Attribute kOpenGLProfile = 99;                 // kCGLPFAOpenGLProfile
constexpr Attribute kProfileCore3_2 = 0x3200;            // kCGLOGLPVersion_3_2_Core
constexpr Attribute kProfileCore4_1 = 0x4100;            // kCGLOGLPVersion_GL4_Core
constexpr Attribute kGenericFloatRenderer = 0x00020400;  // kCGLRendererGenericFloatID
constexpr Error kNoError = 0;                            // kCGLNoError
constexpr Error kBadPixelFormat = 10002;                 // kCGLBadPixelFormat

struct Functions {
    Error (*ChoosePixelFormat)(const Attribute* attributes, PixelFormat* format, GLint* count);
    void (*ReleasePixelFormat)(PixelFormat format);
    Error (*CreateContext)(PixelFormat format, Context share, Context* context);
    Error (*DestroyContext)(Context context);
    Error (*SetCurrentContext)(Context context);
    Context (*GetCurrentContext)();
    const char* (*ErrorString)(Error error);
};

// The functions, found once; null with the reason in `why` when the framework
// or one of them is missing.
const Functions* functions(std::string& why) {
    static std::string failure;
    static const Functions* const table = []() -> const Functions* {
        static Functions f{};
        void* framework = dlopen("/System/Library/Frameworks/OpenGL.framework/OpenGL", RTLD_LAZY | RTLD_LOCAL);
        if (!framework) {
            const char* reason = dlerror();
            failure = std::string("cannot load the OpenGL framework (") + (reason ? reason : "no reason given") + ")";
            return nullptr;
        }
        bool found = true;
        auto find = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(framework, name));
            if (!slot && found) {
                failure = std::string("the OpenGL framework has no ") + name;
                found = false;
            }
        };
        find(f.ChoosePixelFormat, "CGLChoosePixelFormat");
        find(f.ReleasePixelFormat, "CGLReleasePixelFormat");
        find(f.CreateContext, "CGLCreateContext");
        find(f.DestroyContext, "CGLDestroyContext");
        find(f.SetCurrentContext, "CGLSetCurrentContext");
        find(f.GetCurrentContext, "CGLGetCurrentContext");
        find(f.ErrorString, "CGLErrorString");
        return found ? &f : nullptr;
    }();
    if (!table) why = failure;
    return table;
}

}  // namespace cgl

std::string cglError(const cgl::Functions& f, const std::string& what, cgl::Error e) {
    const char* text = f.ErrorString(e);
    return what + " (" + (text ? text : "CGL error " + std::to_string(e)) + ")";
}

// One pixel format for `profile`, or null with the CGL error in `why`.
cgl::PixelFormat choosePixelFormat(const cgl::Functions& f, cgl::Attribute profile, bool software, cgl::Error& why) {
    const cgl::Attribute accelerated[] = {cgl::kOpenGLProfile, profile, cgl::kAllowOfflineRenderers, cgl::kAccelerated,
                                          0};
    const cgl::Attribute generic[] = {cgl::kOpenGLProfile, profile, cgl::kRendererID, cgl::kGenericFloatRenderer, 0};
    cgl::PixelFormat format = nullptr;
    GLint count = 0;
    why = f.ChoosePixelFormat(software ? generic : accelerated, &format, &count);
    if (why != cgl::kNoError || count < 1) {
        if (format) f.ReleasePixelFormat(format);
        if (why == cgl::kNoError) why = cgl::kBadPixelFormat;  // nothing matched
        return nullptr;
    }
    return format;
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(std::string& error, const Options& options) {
    const std::string wanted = std::to_string(options.major) + "." + std::to_string(options.minor);
    if (options.major > 4 || (options.major == 4 && options.minor > 1)) {
        error = "cannot create an OpenGL " + wanted + " core context: macOS stops at OpenGL 4.1";
        return nullptr;
    }
    const cgl::Functions* f = cgl::functions(error);
    if (!f) return nullptr;
    const cgl::Attribute profile = options.major >= 4 ? cgl::kProfileCore4_1 : cgl::kProfileCore3_2;
    cgl::Error why = cgl::kNoError;
    cgl::PixelFormat format = choosePixelFormat(*f, profile, false, why);
    if (!format) format = choosePixelFormat(*f, profile, true, why);
    if (!format) {
        error = cglError(
            *f, "no CGL pixel format for an OpenGL " + wanted + " core context, not even Apple's software renderer",
            why);
        return nullptr;
    }
    cgl::Context context = nullptr;
    why = f->CreateContext(format, nullptr, &context);
    f->ReleasePixelFormat(format);
    if (why != cgl::kNoError || !context) {
        error = cglError(*f, "cannot create an OpenGL " + wanted + " core context", why);
        return nullptr;
    }
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->context = context;  // destroyed with gl from here on
    why = f->SetCurrentContext(context);
    if (why != cgl::kNoError) {
        error = cglError(*f, "cannot make the OpenGL context current", why);
        return nullptr;
    }
    if (!glGetString(GL_VERSION)) {
        error = "the OpenGL context answers no version string";
        return nullptr;
    }
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major < options.major || (major == options.major && minor < options.minor)) {
        error = "cannot create an OpenGL " + wanted + " core context: the renderer gives " + std::to_string(major) +
                "." + std::to_string(minor);
        return nullptr;
    }
    // No KHR_debug here, so options.debug changes nothing (HeadlessGLDebugNone.cpp).
    return gl;
}

HeadlessGL::~HeadlessGL() {
    auto ctx = static_cast<cgl::Context>(context);
    std::string unused;
    const cgl::Functions* f = cgl::functions(unused);
    if (!ctx || !f) return;
    if (f->GetCurrentContext() == ctx) f->SetCurrentContext(nullptr);
    f->DestroyContext(ctx);
}

bool HeadlessGL::MakeCurrent() {
    std::string unused;
    const cgl::Functions* f = cgl::functions(unused);
    return f && f->SetCurrentContext(static_cast<cgl::Context>(context)) == cgl::kNoError;
}

}  // namespace tessivar
