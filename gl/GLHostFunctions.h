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
    X(BindBuffer, BINDBUFFER) \
    X(BindFramebuffer, BINDFRAMEBUFFER) \
    X(BindTexture, BINDTEXTURE) \
    X(BindVertexArray, BINDVERTEXARRAY) \
    X(BlendFunc, BLENDFUNC) \
    X(BufferData, BUFFERDATA) \
    X(CheckFramebufferStatus, CHECKFRAMEBUFFERSTATUS) \
    X(Clear, CLEAR) \
    X(ClearBufferfv, CLEARBUFFERFV) \
    X(ClearColor, CLEARCOLOR) \
    X(ClientWaitSync, CLIENTWAITSYNC) \
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
    X(DeleteSync, DELETESYNC) \
    X(DeleteTextures, DELETETEXTURES) \
    X(DeleteVertexArrays, DELETEVERTEXARRAYS) \
    X(Disable, DISABLE) \
    X(Disablei, DISABLEI) \
    X(DrawArrays, DRAWARRAYS) \
    X(DrawBuffers, DRAWBUFFERS) \
    X(Enable, ENABLE) \
    X(Enablei, ENABLEI) \
    X(FenceSync, FENCESYNC) \
    X(Finish, FINISH) \
    X(Flush, FLUSH) \
    X(FramebufferTexture2D, FRAMEBUFFERTEXTURE2D) \
    X(GenBuffers, GENBUFFERS) \
    X(GenFramebuffers, GENFRAMEBUFFERS) \
    X(GenRenderbuffers, GENRENDERBUFFERS) \
    X(GenTextures, GENTEXTURES) \
    X(GenVertexArrays, GENVERTEXARRAYS) \
    X(GetError, GETERROR) \
    X(GetFramebufferAttachmentParameteriv, GETFRAMEBUFFERATTACHMENTPARAMETERIV) \
    X(GetIntegeri_v, GETINTEGERI_V) \
    X(GetIntegerv, GETINTEGERV) \
    X(GetProgramiv, GETPROGRAMIV) \
    X(GetShaderInfoLog, GETSHADERINFOLOG) \
    X(GetShaderiv, GETSHADERIV) \
    X(GetString, GETSTRING) \
    X(GetTexLevelParameteriv, GETTEXLEVELPARAMETERIV) \
    X(GetUniformfv, GETUNIFORMFV) \
    X(GetUniformiv, GETUNIFORMIV) \
    X(GetUniformLocation, GETUNIFORMLOCATION) \
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
    X(MapBufferRange, MAPBUFFERRANGE) \
    X(PixelStorei, PIXELSTOREI) \
    X(ReadBuffer, READBUFFER) \
    X(ReadPixels, READPIXELS) \
    X(Scissor, SCISSOR) \
    X(ScissorIndexed, SCISSORINDEXED) \
    X(ShaderSource, SHADERSOURCE) \
    X(TexImage2D, TEXIMAGE2D) \
    X(TexParameteri, TEXPARAMETERI) \
    X(TexSubImage2D, TEXSUBIMAGE2D) \
    X(Uniform1f, UNIFORM1F) \
    X(Uniform1i, UNIFORM1I) \
    X(Uniform2f, UNIFORM2F) \
    X(Uniform2i, UNIFORM2I) \
    X(Uniform3fv, UNIFORM3FV) \
    X(UniformMatrix3fv, UNIFORMMATRIX3FV) \
    X(UnmapBuffer, UNMAPBUFFER) \
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
#define glBindBuffer ::tessivar::g_HostGL.BindBuffer
#define glBindFramebuffer ::tessivar::g_HostGL.BindFramebuffer
#define glBindTexture ::tessivar::g_HostGL.BindTexture
#define glBindVertexArray ::tessivar::g_HostGL.BindVertexArray
#define glBlendFunc ::tessivar::g_HostGL.BlendFunc
#define glBufferData ::tessivar::g_HostGL.BufferData
#define glCheckFramebufferStatus ::tessivar::g_HostGL.CheckFramebufferStatus
#define glClear ::tessivar::g_HostGL.Clear
#define glClearBufferfv ::tessivar::g_HostGL.ClearBufferfv
#define glClearColor ::tessivar::g_HostGL.ClearColor
#define glClientWaitSync ::tessivar::g_HostGL.ClientWaitSync
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
#define glDeleteSync ::tessivar::g_HostGL.DeleteSync
#define glDeleteTextures ::tessivar::g_HostGL.DeleteTextures
#define glDeleteVertexArrays ::tessivar::g_HostGL.DeleteVertexArrays
#define glDisable ::tessivar::g_HostGL.Disable
#define glDisablei ::tessivar::g_HostGL.Disablei
#define glDrawArrays ::tessivar::g_HostGL.DrawArrays
#define glDrawBuffers ::tessivar::g_HostGL.DrawBuffers
#define glEnable ::tessivar::g_HostGL.Enable
#define glEnablei ::tessivar::g_HostGL.Enablei
#define glFenceSync ::tessivar::g_HostGL.FenceSync
#define glFinish ::tessivar::g_HostGL.Finish
#define glFlush ::tessivar::g_HostGL.Flush
#define glFramebufferTexture2D ::tessivar::g_HostGL.FramebufferTexture2D
#define glGenBuffers ::tessivar::g_HostGL.GenBuffers
#define glGenFramebuffers ::tessivar::g_HostGL.GenFramebuffers
#define glGenRenderbuffers ::tessivar::g_HostGL.GenRenderbuffers
#define glGenTextures ::tessivar::g_HostGL.GenTextures
#define glGenVertexArrays ::tessivar::g_HostGL.GenVertexArrays
#define glGetError ::tessivar::g_HostGL.GetError
#define glGetFramebufferAttachmentParameteriv ::tessivar::g_HostGL.GetFramebufferAttachmentParameteriv
#define glGetIntegeri_v ::tessivar::g_HostGL.GetIntegeri_v
#define glGetIntegerv ::tessivar::g_HostGL.GetIntegerv
#define glGetProgramiv ::tessivar::g_HostGL.GetProgramiv
#define glGetShaderInfoLog ::tessivar::g_HostGL.GetShaderInfoLog
#define glGetShaderiv ::tessivar::g_HostGL.GetShaderiv
#define glGetString ::tessivar::g_HostGL.GetString
#define glGetTexLevelParameteriv ::tessivar::g_HostGL.GetTexLevelParameteriv
#define glGetUniformfv ::tessivar::g_HostGL.GetUniformfv
#define glGetUniformiv ::tessivar::g_HostGL.GetUniformiv
#define glGetUniformLocation ::tessivar::g_HostGL.GetUniformLocation
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
#define glMapBufferRange ::tessivar::g_HostGL.MapBufferRange
#define glPixelStorei ::tessivar::g_HostGL.PixelStorei
#define glReadBuffer ::tessivar::g_HostGL.ReadBuffer
#define glReadPixels ::tessivar::g_HostGL.ReadPixels
#define glScissor ::tessivar::g_HostGL.Scissor
#define glScissorIndexed ::tessivar::g_HostGL.ScissorIndexed
#define glShaderSource ::tessivar::g_HostGL.ShaderSource
#define glTexImage2D ::tessivar::g_HostGL.TexImage2D
#define glTexParameteri ::tessivar::g_HostGL.TexParameteri
#define glTexSubImage2D ::tessivar::g_HostGL.TexSubImage2D
#define glUniform1f ::tessivar::g_HostGL.Uniform1f
#define glUniform1i ::tessivar::g_HostGL.Uniform1i
#define glUniform2f ::tessivar::g_HostGL.Uniform2f
#define glUniform2i ::tessivar::g_HostGL.Uniform2i
#define glUniform3fv ::tessivar::g_HostGL.Uniform3fv
#define glUniformMatrix3fv ::tessivar::g_HostGL.UniformMatrix3fv
#define glUnmapBuffer ::tessivar::g_HostGL.UnmapBuffer
#define glUseProgram ::tessivar::g_HostGL.UseProgram
#define glViewport ::tessivar::g_HostGL.Viewport
