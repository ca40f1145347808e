// FFGLScreenQuad -- the full-screen rectangle every full-frame pass draws.
//
// Two triangles in normalised device coordinates, in one vertex array and one
// buffer. Vertex shaders read the position from attribute location 0
// (vPosition, vec3) and the texture coordinate from location 1 (vUV, vec2).
//
//     ffglex::FFGLScreenQuad quad;      // in the owner
//     quad.Initialise(false);           // in InitGL: v = 1 at the top edge
//     quad.Draw();                      // program, textures, target bound by the caller
//     quad.Release();                   // in DeInitGL, before destruction
//
// The quad owns its GL names and cannot be copied. Initialise on a quad that
// already holds objects overwrites the names, so Release first. The destructor
// asserts (debug builds) that the vertex array was released.
#pragma once

#include "gl/GLIncludes.h"

namespace ffglex {

// One vertex: texture coordinate u, v, then position x, y, z (20 bytes).
struct TexturedQuadVertex {
    float u, v;
    float x, y, z;
};

// Top-left, top-right, bottom-left; bottom-left, top-right, bottom-right.
// v follows GL's bottom-left texture origin: 1 at the top edge.
inline constexpr TexturedQuadVertex TEXTURED_QUAD_VERTICES[6] = {
    {0, 1, -1, 1, 0}, {1, 1, 1, 1, 0}, {0, 0, -1, -1, 0}, {0, 0, -1, -1, 0}, {1, 1, 1, 1, 0}, {1, 0, 1, -1, 0},
};
// The same rectangle with v = 0 at the top edge.
inline constexpr TexturedQuadVertex FLIPPED_TEXTURED_QUAD_VERTICES[6] = {
    {0, 0, -1, 1, 0}, {1, 0, 1, 1, 0}, {0, 1, -1, -1, 0}, {0, 1, -1, -1, 0}, {1, 0, 1, 1, 0}, {1, 1, 1, -1, 0},
};
static_assert(sizeof(TEXTURED_QUAD_VERTICES) == 120, "the quad is six packed 20-byte vertices");

class FFGLScreenQuad {
public:
    FFGLScreenQuad();
    ~FFGLScreenQuad();
    FFGLScreenQuad(const FFGLScreenQuad&) = delete;
    FFGLScreenQuad& operator=(const FFGLScreenQuad&) = delete;

    // `flipped` selects FLIPPED_TEXTURED_QUAD_VERTICES. True when the objects
    // exist and hold the vertices; false (both names 0) when GL gave no name.
    // Leaves vertex array 0 and GL_ARRAY_BUFFER 0 bound.
    bool Initialise(bool flipped);
    // Draws the six vertices; does nothing (no GL call) when not initialised.
    // Leaves vertex array 0 bound and changes nothing else.
    void Draw();
    // Deletes both objects and zeroes the names; safe to repeat.
    void Release();

    GLuint GetVAOGLID() const { return vaoID; }
    GLuint GetVBOGLID() const { return vboID; }

private:
    GLuint vaoID;
    GLuint vboID;
};

}  // namespace ffglex
