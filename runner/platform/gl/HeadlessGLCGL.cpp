// macOS: a CGL context with no drawable. Rendering goes to framebuffer
// objects, as with EGL and WGL. macOS offers 3.2 and 4.1 core profiles only;
// a GPU renderer is preferred, Apple's software renderer taken when there is
// none (virtual machines, CI).
#include "runner/platform/gl/HeadlessGL.h"

#include "gl/GLIncludes.h"  // first: it silences the deprecation of OpenGL

#include <OpenGL/CGLRenderers.h>
#include <OpenGL/OpenGL.h>

#include <string>

namespace tessivar {
namespace {

std::string cglError(const char* what, CGLError e) { return std::string(what) + " (" + CGLErrorString(e) + ")"; }

// One pixel format for `profile`, or null with the CGL error in `why`.
CGLPixelFormatObj choosePixelFormat(CGLOpenGLProfile profile, bool software, CGLError& why) {
    const CGLPixelFormatAttribute accelerated[] = {
        kCGLPFAOpenGLProfile, static_cast<CGLPixelFormatAttribute>(profile),
        kCGLPFAAllowOfflineRenderers,
        kCGLPFAAccelerated,
        static_cast<CGLPixelFormatAttribute>(0)};
    const CGLPixelFormatAttribute generic[] = {
        kCGLPFAOpenGLProfile, static_cast<CGLPixelFormatAttribute>(profile),
        kCGLPFARendererID, static_cast<CGLPixelFormatAttribute>(kCGLRendererGenericFloatID),
        static_cast<CGLPixelFormatAttribute>(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    why = CGLChoosePixelFormat(software ? generic : accelerated, &format, &count);
    if (why != kCGLNoError || count < 1) {
        if (format) CGLReleasePixelFormat(format);
        if (why == kCGLNoError) why = kCGLBadPixelFormat;  // nothing matched
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
    const CGLOpenGLProfile profile = options.major >= 4 ? kCGLOGLPVersion_GL4_Core : kCGLOGLPVersion_3_2_Core;
    CGLError why = kCGLNoError;
    CGLPixelFormatObj format = choosePixelFormat(profile, false, why);
    if (!format) format = choosePixelFormat(profile, true, why);
    if (!format) {
        error = cglError(("no CGL pixel format for an OpenGL " + wanted + " core context, not even Apple's software renderer").c_str(), why);
        return nullptr;
    }
    CGLContextObj context = nullptr;
    why = CGLCreateContext(format, nullptr, &context);
    CGLReleasePixelFormat(format);
    if (why != kCGLNoError || !context) {
        error = cglError(("cannot create an OpenGL " + wanted + " core context").c_str(), why);
        return nullptr;
    }
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL());
    gl->context = context;  // destroyed with gl from here on
    why = CGLSetCurrentContext(context);
    if (why != kCGLNoError) {
        error = cglError("cannot make the OpenGL context current", why);
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
    auto ctx = static_cast<CGLContextObj>(context);
    if (!ctx) return;
    if (CGLGetCurrentContext() == ctx) CGLSetCurrentContext(nullptr);
    CGLDestroyContext(ctx);
}

bool HeadlessGL::MakeCurrent() { return CGLSetCurrentContext(static_cast<CGLContextObj>(context)) == kCGLNoError; }

}  // namespace tessivar
