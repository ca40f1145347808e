// GLProgram -- a GLSL program of the host's own (a copy floor, a pixel
// conversion): compiled from a vertex and a fragment source, drawn as one
// triangle that covers the viewport, with an empty vertex array as the core
// profile wants.
//
//     GLProgram p;
//     if (!p.Create(GLProgram::FullScreenVertex(), fragment, "yuv to rgba", error)) ...
//     glUseProgram(p.Name()); ... p.DrawFullScreen();
#pragma once

#include <string>

namespace tessivar {

class GLProgram {
public:
    GLProgram() = default;
    ~GLProgram();
    GLProgram(const GLProgram&) = delete;
    GLProgram& operator=(const GLProgram&) = delete;

    // A vertex stage for DrawFullScreen: `uv` runs 0..1 across the viewport.
    static const char* FullScreenVertex();

    // False with "`what` does not compile: <log>" (or link) in `error`.
    bool Create(const char* vertex, const std::string& fragment, const std::string& what, std::string& error);
    void Release();
    unsigned Name() const { return program; }
    int Uniform(const char* name) const;
    // One triangle over the viewport, with the program bound by the caller.
    void DrawFullScreen() const;

private:
    unsigned program = 0;
    unsigned vao = 0;
};

}  // namespace tessivar
