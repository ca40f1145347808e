// GLHostFunctions.h -- Windows only: the GL functions host code (runner,
// tests) calls, reached through a table the runner fills when it makes its
// context (runner/platform/gl/HostGLWin32.cpp). Unlike the module's table it may go past
// 4.1 core (KHR_debug), since it belongs to our own programs. Host code on
// Linux and macOS links the system library instead.
#pragma once

#include <string>

#define TESSIVAR_GL_HOST_FUNCTIONS(X) \
    X(ActiveTexture, ACTIVETEXTURE) \
    X(AttachShader, ATTACHSHADER) \
    X(BindFramebuffer, BINDFRAMEBUFFER) \
    X(BindTexture, BINDTEXTURE) \
    X(BindVertexArray, BINDVERTEXARRAY) \
    X(BlendFunc, BLENDFUNC) \
    X(CheckFramebufferStatus, CHECKFRAMEBUFFERSTATUS) \
    X(Clear, CLEAR) \
    X(ClearBufferfv, CLEARBUFFERFV) \
    X(ClearColor, CLEARCOLOR) \
    X(ColorMask, COLORMASK) \
    X(CompileShader, COMPILESHADER) \
    X(CreateProgram, CREATEPROGRAM) \
    X(CreateShader, CREATESHADER) \
    X(DebugMessageCallback, DEBUGMESSAGECALLBACK) \
    X(DebugMessageControl, DEBUGMESSAGECONTROL) \
    X(DeleteBuffers, DELETEBUFFERS) \
    X(DeleteFramebuffers, DELETEFRAMEBUFFERS) \
    X(DeleteProgram, DELETEPROGRAM) \
    X(DeleteRenderbuffers, DELETERENDERBUFFERS) \
    X(DeleteShader, DELETESHADER) \
    X(DeleteTextures, DELETETEXTURES) \
    X(DeleteVertexArrays, DELETEVERTEXARRAYS) \
    X(Disable, DISABLE) \
    X(DrawArrays, DRAWARRAYS) \
    X(Enable, ENABLE) \
    X(Enablei, ENABLEI) \
    X(Disablei, DISABLEI) \
    X(Finish, FINISH) \
    X(FramebufferTexture2D, FRAMEBUFFERTEXTURE2D) \
    X(GenBuffers, GENBUFFERS) \
    X(GenFramebuffers, GENFRAMEBUFFERS) \
    X(GenRenderbuffers, GENRENDERBUFFERS) \
    X(GenTextures, GENTEXTURES) \
    X(GenVertexArrays, GENVERTEXARRAYS) \
    X(GetError, GETERROR) \
    X(GetFramebufferAttachmentParameteriv, GETFRAMEBUFFERATTACHMENTPARAMETERIV) \
    X(GetIntegerv, GETINTEGERV) \
    X(GetIntegeri_v, GETINTEGERI_V) \
    X(GetProgramiv, GETPROGRAMIV) \
    X(GetShaderInfoLog, GETSHADERINFOLOG) \
    X(GetShaderiv, GETSHADERIV) \
    X(GetString, GETSTRING) \
    X(GetTexLevelParameteriv, GETTEXLEVELPARAMETERIV) \
    X(GetUniformLocation, GETUNIFORMLOCATION) \
    X(GetUniformfv, GETUNIFORMFV) \
    X(GetUniformiv, GETUNIFORMIV) \
    X(IsBuffer, ISBUFFER) \
    X(IsEnabled, ISENABLED) \
    X(IsEnabledi, ISENABLEDI) \
    X(IsFramebuffer, ISFRAMEBUFFER) \
    X(IsProgram, ISPROGRAM) \
    X(IsRenderbuffer, ISRENDERBUFFER) \
    X(IsShader, ISSHADER) \
    X(IsTexture, ISTEXTURE) \
    X(IsVertexArray, ISVERTEXARRAY) \
    X(LinkProgram, LINKPROGRAM) \
    X(PixelStorei, PIXELSTOREI) \
    X(ReadPixels, READPIXELS) \
    X(Scissor, SCISSOR) \
    X(ScissorIndexed, SCISSORINDEXED) \
    X(ShaderSource, SHADERSOURCE) \
    X(TexImage2D, TEXIMAGE2D) \
    X(TexParameteri, TEXPARAMETERI) \
    X(TexSubImage2D, TEXSUBIMAGE2D) \
    X(Uniform1i, UNIFORM1I) \
    X(Uniform2f, UNIFORM2F) \
    X(UseProgram, USEPROGRAM) \
    X(Viewport, VIEWPORT)

namespace tessivar {

struct HostGLEntryPoints {
#define TESSIVAR_GL_HOST_MEMBER(Name, NAME) PFNGL##NAME##PROC Name;
    TESSIVAR_GL_HOST_FUNCTIONS(TESSIVAR_GL_HOST_MEMBER)
#undef TESSIVAR_GL_HOST_MEMBER
};
extern HostGLEntryPoints g_HostGL;

// Fills g_HostGL from the current context; false with the first missing
// function's name in `missing`.
bool LoadHostGL(std::string& missing);

}  // namespace tessivar

#define glActiveTexture ::tessivar::g_HostGL.ActiveTexture
#define glAttachShader ::tessivar::g_HostGL.AttachShader
#define glBindFramebuffer ::tessivar::g_HostGL.BindFramebuffer
#define glBindTexture ::tessivar::g_HostGL.BindTexture
#define glBindVertexArray ::tessivar::g_HostGL.BindVertexArray
#define glBlendFunc ::tessivar::g_HostGL.BlendFunc
#define glCheckFramebufferStatus ::tessivar::g_HostGL.CheckFramebufferStatus
#define glClear ::tessivar::g_HostGL.Clear
#define glClearBufferfv ::tessivar::g_HostGL.ClearBufferfv
#define glClearColor ::tessivar::g_HostGL.ClearColor
#define glColorMask ::tessivar::g_HostGL.ColorMask
#define glCompileShader ::tessivar::g_HostGL.CompileShader
#define glCreateProgram ::tessivar::g_HostGL.CreateProgram
#define glCreateShader ::tessivar::g_HostGL.CreateShader
#define glDebugMessageCallback ::tessivar::g_HostGL.DebugMessageCallback
#define glDebugMessageControl ::tessivar::g_HostGL.DebugMessageControl
#define glDeleteBuffers ::tessivar::g_HostGL.DeleteBuffers
#define glDeleteFramebuffers ::tessivar::g_HostGL.DeleteFramebuffers
#define glDeleteProgram ::tessivar::g_HostGL.DeleteProgram
#define glDeleteRenderbuffers ::tessivar::g_HostGL.DeleteRenderbuffers
#define glDeleteShader ::tessivar::g_HostGL.DeleteShader
#define glDeleteTextures ::tessivar::g_HostGL.DeleteTextures
#define glDeleteVertexArrays ::tessivar::g_HostGL.DeleteVertexArrays
#define glDisable ::tessivar::g_HostGL.Disable
#define glDrawArrays ::tessivar::g_HostGL.DrawArrays
#define glEnable ::tessivar::g_HostGL.Enable
#define glEnablei ::tessivar::g_HostGL.Enablei
#define glDisablei ::tessivar::g_HostGL.Disablei
#define glFinish ::tessivar::g_HostGL.Finish
#define glFramebufferTexture2D ::tessivar::g_HostGL.FramebufferTexture2D
#define glGenBuffers ::tessivar::g_HostGL.GenBuffers
#define glGenFramebuffers ::tessivar::g_HostGL.GenFramebuffers
#define glGenRenderbuffers ::tessivar::g_HostGL.GenRenderbuffers
#define glGenTextures ::tessivar::g_HostGL.GenTextures
#define glGenVertexArrays ::tessivar::g_HostGL.GenVertexArrays
#define glGetError ::tessivar::g_HostGL.GetError
#define glGetFramebufferAttachmentParameteriv ::tessivar::g_HostGL.GetFramebufferAttachmentParameteriv
#define glGetIntegerv ::tessivar::g_HostGL.GetIntegerv
#define glGetIntegeri_v ::tessivar::g_HostGL.GetIntegeri_v
#define glGetProgramiv ::tessivar::g_HostGL.GetProgramiv
#define glGetShaderInfoLog ::tessivar::g_HostGL.GetShaderInfoLog
#define glGetShaderiv ::tessivar::g_HostGL.GetShaderiv
#define glGetString ::tessivar::g_HostGL.GetString
#define glGetTexLevelParameteriv ::tessivar::g_HostGL.GetTexLevelParameteriv
#define glGetUniformLocation ::tessivar::g_HostGL.GetUniformLocation
#define glGetUniformfv ::tessivar::g_HostGL.GetUniformfv
#define glGetUniformiv ::tessivar::g_HostGL.GetUniformiv
#define glIsBuffer ::tessivar::g_HostGL.IsBuffer
#define glIsEnabled ::tessivar::g_HostGL.IsEnabled
#define glIsEnabledi ::tessivar::g_HostGL.IsEnabledi
#define glIsFramebuffer ::tessivar::g_HostGL.IsFramebuffer
#define glIsProgram ::tessivar::g_HostGL.IsProgram
#define glIsRenderbuffer ::tessivar::g_HostGL.IsRenderbuffer
#define glIsShader ::tessivar::g_HostGL.IsShader
#define glIsTexture ::tessivar::g_HostGL.IsTexture
#define glIsVertexArray ::tessivar::g_HostGL.IsVertexArray
#define glLinkProgram ::tessivar::g_HostGL.LinkProgram
#define glPixelStorei ::tessivar::g_HostGL.PixelStorei
#define glReadPixels ::tessivar::g_HostGL.ReadPixels
#define glScissor ::tessivar::g_HostGL.Scissor
#define glScissorIndexed ::tessivar::g_HostGL.ScissorIndexed
#define glShaderSource ::tessivar::g_HostGL.ShaderSource
#define glTexImage2D ::tessivar::g_HostGL.TexImage2D
#define glTexParameteri ::tessivar::g_HostGL.TexParameteri
#define glTexSubImage2D ::tessivar::g_HostGL.TexSubImage2D
#define glUniform1i ::tessivar::g_HostGL.Uniform1i
#define glUniform2f ::tessivar::g_HostGL.Uniform2f
#define glUseProgram ::tessivar::g_HostGL.UseProgram
#define glViewport ::tessivar::g_HostGL.Viewport
