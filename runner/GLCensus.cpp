#include "runner/GLCensus.h"

#include "gl/GLIncludes.h"

namespace tessivar {
namespace {

constexpr GLuint kMargin = 1u << 16;

const char* const kNames[GLCensus::kKinds] = {"textures",      "framebuffers", "renderbuffers", "buffers",
                                              "vertex arrays", "programs",     "shaders"};

// The name the driver would hand out next for each kind, found by asking for
// one and giving it straight back.
GLuint nextName(GLCensus::Kind kind) {
    GLuint name = 0;
    switch (kind) {
        case GLCensus::Texture:
            glGenTextures(1, &name);
            glDeleteTextures(1, &name);
            break;
        case GLCensus::Framebuffer:
            glGenFramebuffers(1, &name);
            glDeleteFramebuffers(1, &name);
            break;
        case GLCensus::Renderbuffer:
            glGenRenderbuffers(1, &name);
            glDeleteRenderbuffers(1, &name);
            break;
        case GLCensus::Buffer:
            glGenBuffers(1, &name);
            glDeleteBuffers(1, &name);
            break;
        case GLCensus::VertexArray:
            glGenVertexArrays(1, &name);
            glDeleteVertexArrays(1, &name);
            break;
        case GLCensus::Program:
            name = glCreateProgram();
            glDeleteProgram(name);
            break;
        case GLCensus::Shader:
            name = glCreateShader(GL_VERTEX_SHADER);
            glDeleteShader(name);
            break;
        case GLCensus::kKinds: break;
    }
    return name;
}

bool isLive(GLCensus::Kind kind, GLuint name) {
    switch (kind) {
        case GLCensus::Texture: return glIsTexture(name);
        case GLCensus::Framebuffer: return glIsFramebuffer(name);
        case GLCensus::Renderbuffer: return glIsRenderbuffer(name);
        case GLCensus::Buffer: return glIsBuffer(name);
        case GLCensus::VertexArray: return glIsVertexArray(name);
        case GLCensus::Program: return glIsProgram(name);
        case GLCensus::Shader: return glIsShader(name);
        case GLCensus::kKinds: break;
    }
    return false;
}

}  // namespace

GLCensus GLCensus::Take() {
    GLCensus census;
    for (int k = 0; k < kKinds; ++k) {
        const auto kind = Kind(k);
        const GLuint ceiling = nextName(kind) + kMargin;
        for (GLuint name = 1; name < ceiling; ++name)
            if (isLive(kind, name)) ++census.live[k];
    }
    return census;
}

const char* GLCensus::Name(Kind kind) { return kind < kKinds ? kNames[kind] : "?"; }

std::string GLCensus::Diff(const GLCensus& after) const {
    std::string out;
    for (int k = 0; k < kKinds; ++k) {
        if (live[k] == after.live[k]) continue;
        if (!out.empty()) out += ", ";
        out += std::string(kNames[k]) + ": " + std::to_string(live[k]) + " -> " + std::to_string(after.live[k]);
    }
    return out;
}

}  // namespace tessivar
