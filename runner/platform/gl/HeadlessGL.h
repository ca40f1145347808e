// HeadlessGL -- an OpenGL core context with no window, no display and no GPU.
//
// On Linux it uses EGL's surfaceless platform, which Mesa provides and which
// renders with llvmpipe when there is no GPU; on Windows a hidden WGL window,
// on macOS a CGL context with no drawable. There is no default framebuffer:
// render into framebuffer objects (see GLFrame.h).
//
//     std::string why;
//     auto gl = tessivar::HeadlessGL::Create(why);
//     if (!gl) { fprintf(stderr, "%s\n", why.c_str()); return 1; }
//
// One context per process is the normal use; it is current on the creating
// thread until the object is destroyed.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tessivar {

class HeadlessGL {
public:
    struct Options {
        int major = 4;
        int minor = 1;
        bool debug = true;  // a debug context, so KHR_debug reports everything
    };

    // Makes the context and makes it current. On failure answers null and
    // writes one line into `error` naming what is missing.
    static std::unique_ptr<HeadlessGL> Create(std::string& error, const Options& options);
    static std::unique_ptr<HeadlessGL> Create(std::string& error) { return Create(error, Options{}); }

    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    bool MakeCurrent();
    std::string Version() const;   // GL_VERSION
    std::string Renderer() const;  // GL_RENDERER

    // Routes KHR_debug messages to `sink` (type and severity as GL enums).
    // Synchronous, so a message arrives inside the GL call that caused it.
    // Answers false where the driver has no KHR_debug (macOS): nothing is
    // routed there, and callers must poll glGetError instead.
    // The message comes as one line, however many the driver wrote.
    using DebugSink = std::function<void(unsigned type, unsigned severity, const std::string& message)>;
    bool SetDebugSink(DebugSink sink);
    // GL_DEBUG_TYPE_ERROR, for sinks; not every platform's headers define it.
    static constexpr unsigned kDebugTypeError = 0x824C;

    // Turns the shader compiler's debug messages off or on again, for code
    // that compiles bad GLSL on purpose. Does nothing without KHR_debug.
    void EnableCompilerMessages(bool on);

private:
    HeadlessGL() = default;
    void* display = nullptr;
    void* context = nullptr;
    DebugSink sink;
};

}  // namespace tessivar
