#include "gl/FFGLScreenQuad.h"

#include "gl/FFGLScopedBindings.h"

#include <cassert>
#include <cstddef>
#include <cstdint>

namespace ffglex {

FFGLScreenQuad::FFGLScreenQuad() : vaoID(0), vboID(0) {}

FFGLScreenQuad::~FFGLScreenQuad() {
    // The owner must Release with its context current; we have no context here.
    assert(vaoID == 0);
}

bool FFGLScreenQuad::Initialise(bool flipped) {
    glGenVertexArrays(1, &vaoID);
    glGenBuffers(1, &vboID);
    if (vaoID == 0 || vboID == 0) {
        Release();
        return false;
    }
    ScopedVAOBinding vertexArray(vaoID);
    ScopedVBOBinding buffer(vboID);
    const auto& table = flipped ? FLIPPED_TEXTURED_QUAD_VERTICES : TEXTURED_QUAD_VERTICES;
    glBufferData(GL_ARRAY_BUFFER, sizeof(table), table, GL_STATIC_DRAW);
    const GLsizei stride = sizeof(TexturedQuadVertex);
    glEnableVertexAttribArray(0);  // vPosition
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(uintptr_t(offsetof(TexturedQuadVertex, x))));
    glEnableVertexAttribArray(1);  // vUV
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(uintptr_t(offsetof(TexturedQuadVertex, u))));
    // The attribute pointers keep the buffer; both bindings go back to 0.
    buffer.EndScope();
    vertexArray.EndScope();
    return true;
}

void FFGLScreenQuad::Draw() {
    if (vaoID == 0 || vboID == 0) return;
    ScopedVAOBinding vertexArray(vaoID);
    glDrawArrays(GL_TRIANGLES, 0, 6);
}

void FFGLScreenQuad::Release() {
    if (vboID != 0) glDeleteBuffers(1, &vboID);
    vboID = 0;
    if (vaoID != 0) glDeleteVertexArrays(1, &vaoID);
    vaoID = 0;
}

}  // namespace ffglex
