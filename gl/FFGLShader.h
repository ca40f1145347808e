// FFGLShader -- one GL program and the shader objects it was linked from.
//
//     ffglex::FFGLShader shader;                       // empty: every name 0
//     if (!shader.Compile(vertexSource, fragmentSource)) return FF_FAIL;
//     {
//         ffglex::ScopedShaderBinding bind(shader.GetGLID());
//         shader.Set("inputTexture", 0);
//         quad.Draw();
//     }
//     shader.FreeGLResources();                        // before destruction
//
// Compile and link failures return false, print one line through Log
// ("Vertex Shader error: ", "Geometry Shader error: " or "Fragment Shader
// error: " -- link failures carry the fragment prefix too -- then the driver's
// log) and leave the shader empty again. The shader never binds its program:
// `Set` writes to whatever program is current, so bind this one first.
//
// The object owns its GL names and cannot be copied. Compile into an empty
// shader only (it overwrites names without deleting them), and empty it with
// FreeGLResources, with the context current, before it is destroyed; the
// destructor asserts that in debug builds.
#pragma once

#include "gl/GLIncludes.h"

#include <string>
#include <vector>

namespace ffglex {

class FFGLShader {
public:
    FFGLShader();
    ~FFGLShader();
    FFGLShader(const FFGLShader&) = delete;
    FFGLShader& operator=(const FFGLShader&) = delete;

    // True when the program is linked. A null or empty vertex source fails
    // without creating anything; so does an empty fragment source unless
    // transform-feedback varyings were added (a vertex-only program).
    bool Compile(const std::string& vertexSource, const std::string& fragmentSource);
    bool Compile(const char* vertexSource, const char* fragmentSource);
    // A null or empty geometry source is skipped.
    bool Compile(const char* vertexSource, const char* geometrySource, const char* fragmentSource);

    // Single steps of Compile; a failed stage logs and leaves its object for
    // the caller's clean-up.
    bool CompileVertexShader(const char* source);
    bool CompileGeometryShader(const char* source);
    bool CompileFragmentShader(const char* source);
    bool LinkProgram();

    // Deletes every GL object held and zeroes the names. Keeps the varyings.
    void FreeGLResources();

    // Captured by transform feedback (interleaved), in the order added; takes
    // effect at the next link.
    void AddTransformFeedbackVarying(const std::string& name);

    // -1 when the linked program has no such active uniform.
    GLint FindUniform(const char* name) const;

    // Each looks the location up anew and writes it to the CURRENT program.
    // A name that is not an active uniform does nothing.
    void Set(const char* name, float x);
    void Set(const char* name, float x, float y);
    void Set(const char* name, float x, float y, float z);
    void Set(const char* name, float x, float y, float z, float w);
    void Set(const char* name, int value);  // also for sampler units

    bool IsReady() const { return programID != 0; }
    GLuint GetGLID() const { return programID; }
    GLuint GetVertexShaderGLID() const { return vertexShaderID; }
    GLuint GetGeometryShaderGLID() const { return geometryShaderID; }
    GLuint GetFragmentShaderGLID() const { return fragmentShaderID; }

private:
    bool CompileStage(GLenum stage, const char* source, GLuint& name, const char* logPrefix);

    GLuint vertexShaderID;
    GLuint geometryShaderID;
    GLuint fragmentShaderID;
    GLuint programID;  // non-zero only while linked
    std::vector<std::string> transformFeedbackVaryings;
};

}  // namespace ffglex
