// HeadlessGL -- an OpenGL core context with no window, no display and no GPU.
//
// It uses EGL's surfaceless platform, which Mesa provides and which renders
// with llvmpipe when there is no GPU. There is no default framebuffer: render
// into framebuffer objects (see GLFrame.h).
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
    using DebugSink = std::function<void(unsigned type, unsigned severity, const std::string& message)>;
    void SetDebugSink(DebugSink sink);

private:
    HeadlessGL() = default;
    void* display = nullptr;
    void* context = nullptr;
    DebugSink sink;
};

}  // namespace tessivar
