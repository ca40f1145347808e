// GLEntryPoints.h -- the table through which module code reaches OpenGL.
//
// Windows' opengl32.dll exports only GL 1.1; every newer function is a pointer
// the driver hands out while a context is current. A macOS bundle links no GL
// at all (no SDK is needed to build one) and finds the functions in the
// OpenGL framework the host has loaded. So the module resolves the functions
// it calls (GLFunctions.h) once, at its first InitGL, and calls them through
// this table on every platform: code reads as plain GL, a function missing
// from the list does not compile, and a function the driver lacks fails
// InitGL instead of being called through a null pointer.
//
// Every plugin class calls LoadGLEntryPoints() first thing in InitGL and
// answers FF_FAIL when it is false (CornerPin and ffglqs::Plugin do).
#pragma once

#include "gl/GLApi.h"
#include "gl/GLFunctions.h"

namespace ffglex {

struct GLEntryPoints {
#define TESSIVAR_GL_MEMBER(Name, NAME) PFNGL##NAME##PROC Name;
    TESSIVAR_GL_FUNCTIONS(TESSIVAR_GL_MEMBER)
#undef TESSIVAR_GL_MEMBER
};
extern GLEntryPoints g_GL;

// Any GL function, as the platform hands it out; null if there is none.
using GLProc = void (*)();
using GLResolver = GLProc (*)(const char* name);

// The platform's lookup for the current context (one file per platform).
GLProc ResolveGLPlatform(const char* name);

// Fills g_GL through `resolver` unless an earlier call succeeded. When a
// function is missing it answers false, leaves the table as it was and writes
// one line naming the function to the host log. Host thread, context current.
bool LoadGLEntryPoints(GLResolver resolver = ResolveGLPlatform);

}  // namespace ffglex

// Module code only: plain GL names call through the table. (Host code, built
// with TESSIVAR_GL_HOST, calls the system library or its own table.)
#if !defined(TESSIVAR_GL_HOST)
#define glActiveTexture ::ffglex::g_GL.ActiveTexture
#define glAttachShader ::ffglex::g_GL.AttachShader
#define glBindBuffer ::ffglex::g_GL.BindBuffer
#define glBindFramebuffer ::ffglex::g_GL.BindFramebuffer
#define glBindRenderbuffer ::ffglex::g_GL.BindRenderbuffer
#define glBindTexture ::ffglex::g_GL.BindTexture
#define glBindVertexArray ::ffglex::g_GL.BindVertexArray
#define glBufferData ::ffglex::g_GL.BufferData
#define glCheckFramebufferStatus ::ffglex::g_GL.CheckFramebufferStatus
#define glClearBufferfv ::ffglex::g_GL.ClearBufferfv
#define glCompileShader ::ffglex::g_GL.CompileShader
#define glCreateProgram ::ffglex::g_GL.CreateProgram
#define glCreateShader ::ffglex::g_GL.CreateShader
#define glDeleteBuffers ::ffglex::g_GL.DeleteBuffers
#define glDeleteFramebuffers ::ffglex::g_GL.DeleteFramebuffers
#define glDeleteProgram ::ffglex::g_GL.DeleteProgram
#define glDeleteRenderbuffers ::ffglex::g_GL.DeleteRenderbuffers
#define glDeleteShader ::ffglex::g_GL.DeleteShader
#define glDeleteTextures ::ffglex::g_GL.DeleteTextures
#define glDeleteVertexArrays ::ffglex::g_GL.DeleteVertexArrays
#define glDisable ::ffglex::g_GL.Disable
#define glDisablei ::ffglex::g_GL.Disablei
#define glDrawArrays ::ffglex::g_GL.DrawArrays
#define glEnable ::ffglex::g_GL.Enable
#define glEnableVertexAttribArray ::ffglex::g_GL.EnableVertexAttribArray
#define glEnablei ::ffglex::g_GL.Enablei
#define glFramebufferRenderbuffer ::ffglex::g_GL.FramebufferRenderbuffer
#define glFramebufferTexture2D ::ffglex::g_GL.FramebufferTexture2D
#define glGenBuffers ::ffglex::g_GL.GenBuffers
#define glGenFramebuffers ::ffglex::g_GL.GenFramebuffers
#define glGenRenderbuffers ::ffglex::g_GL.GenRenderbuffers
#define glGenTextures ::ffglex::g_GL.GenTextures
#define glGenVertexArrays ::ffglex::g_GL.GenVertexArrays
#define glGetFloatv ::ffglex::g_GL.GetFloatv
#define glGetIntegeri_v ::ffglex::g_GL.GetIntegeri_v
#define glGetIntegerv ::ffglex::g_GL.GetIntegerv
#define glGetProgramInfoLog ::ffglex::g_GL.GetProgramInfoLog
#define glGetProgramiv ::ffglex::g_GL.GetProgramiv
#define glGetShaderInfoLog ::ffglex::g_GL.GetShaderInfoLog
#define glGetShaderiv ::ffglex::g_GL.GetShaderiv
#define glGetString ::ffglex::g_GL.GetString
#define glGetUniformLocation ::ffglex::g_GL.GetUniformLocation
#define glIsEnabled ::ffglex::g_GL.IsEnabled
#define glIsEnabledi ::ffglex::g_GL.IsEnabledi
#define glLinkProgram ::ffglex::g_GL.LinkProgram
#define glPixelStorei ::ffglex::g_GL.PixelStorei
#define glReadPixels ::ffglex::g_GL.ReadPixels
#define glRenderbufferStorage ::ffglex::g_GL.RenderbufferStorage
#define glScissorIndexed ::ffglex::g_GL.ScissorIndexed
#define glShaderSource ::ffglex::g_GL.ShaderSource
#define glTexImage2D ::ffglex::g_GL.TexImage2D
#define glTexParameteri ::ffglex::g_GL.TexParameteri
#define glTransformFeedbackVaryings ::ffglex::g_GL.TransformFeedbackVaryings
#define glUniform1f ::ffglex::g_GL.Uniform1f
#define glUniform1i ::ffglex::g_GL.Uniform1i
#define glUniform2f ::ffglex::g_GL.Uniform2f
#define glUniform3f ::ffglex::g_GL.Uniform3f
#define glUniform4f ::ffglex::g_GL.Uniform4f
#define glUniformMatrix3fv ::ffglex::g_GL.UniformMatrix3fv
#define glUseProgram ::ffglex::g_GL.UseProgram
#define glVertexAttribPointer ::ffglex::g_GL.VertexAttribPointer
#define glViewport ::ffglex::g_GL.Viewport
#endif
