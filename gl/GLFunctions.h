// GLFunctions.h -- every OpenGL function the module code calls, and nothing
// more. Hosts on macOS stop at 4.1 core, so every entry must exist there; a
// test holds this list against the version blocks of <GL/glcorearb.h>.
//
// X(Name, NAME): the function glName, whose pointer type is PFNGLNAMEPROC.
// Keep one entry per line: the check reads this file.
#pragma once

#define TESSIVAR_GL_FUNCTIONS(X) \
    X(ActiveTexture, ACTIVETEXTURE) \
    X(AttachShader, ATTACHSHADER) \
    X(BindBuffer, BINDBUFFER) \
    X(BindFramebuffer, BINDFRAMEBUFFER) \
    X(BindRenderbuffer, BINDRENDERBUFFER) \
    X(BindTexture, BINDTEXTURE) \
    X(BindVertexArray, BINDVERTEXARRAY) \
    X(BufferData, BUFFERDATA) \
    X(CheckFramebufferStatus, CHECKFRAMEBUFFERSTATUS) \
    X(ClearBufferfv, CLEARBUFFERFV) \
    X(CompileShader, COMPILESHADER) \
    X(CreateProgram, CREATEPROGRAM) \
    X(CreateShader, CREATESHADER) \
    X(DeleteBuffers, DELETEBUFFERS) \
    X(DeleteFramebuffers, DELETEFRAMEBUFFERS) \
    X(DeleteProgram, DELETEPROGRAM) \
    X(DeleteRenderbuffers, DELETERENDERBUFFERS) \
    X(DeleteShader, DELETESHADER) \
    X(DeleteTextures, DELETETEXTURES) \
    X(DeleteVertexArrays, DELETEVERTEXARRAYS) \
    X(Disable, DISABLE) \
    X(Disablei, DISABLEI) \
    X(DrawArrays, DRAWARRAYS) \
    X(Enable, ENABLE) \
    X(EnableVertexAttribArray, ENABLEVERTEXATTRIBARRAY) \
    X(Enablei, ENABLEI) \
    X(FramebufferRenderbuffer, FRAMEBUFFERRENDERBUFFER) \
    X(FramebufferTexture2D, FRAMEBUFFERTEXTURE2D) \
    X(GenBuffers, GENBUFFERS) \
    X(GenFramebuffers, GENFRAMEBUFFERS) \
    X(GenRenderbuffers, GENRENDERBUFFERS) \
    X(GenTextures, GENTEXTURES) \
    X(GenVertexArrays, GENVERTEXARRAYS) \
    X(GetFloatv, GETFLOATV) \
    X(GetIntegeri_v, GETINTEGERI_V) \
    X(GetIntegerv, GETINTEGERV) \
    X(GetProgramInfoLog, GETPROGRAMINFOLOG) \
    X(GetProgramiv, GETPROGRAMIV) \
    X(GetShaderInfoLog, GETSHADERINFOLOG) \
    X(GetShaderiv, GETSHADERIV) \
    X(GetString, GETSTRING) \
    X(GetUniformLocation, GETUNIFORMLOCATION) \
    X(IsEnabled, ISENABLED) \
    X(IsEnabledi, ISENABLEDI) \
    X(LinkProgram, LINKPROGRAM) \
    X(PixelStorei, PIXELSTOREI) \
    X(ReadPixels, READPIXELS) \
    X(RenderbufferStorage, RENDERBUFFERSTORAGE) \
    X(ScissorIndexed, SCISSORINDEXED) \
    X(ShaderSource, SHADERSOURCE) \
    X(TexImage2D, TEXIMAGE2D) \
    X(TexParameteri, TEXPARAMETERI) \
    X(TransformFeedbackVaryings, TRANSFORMFEEDBACKVARYINGS) \
    X(Uniform1f, UNIFORM1F) \
    X(Uniform1i, UNIFORM1I) \
    X(Uniform2f, UNIFORM2F) \
    X(Uniform3f, UNIFORM3F) \
    X(Uniform4f, UNIFORM4F) \
    X(UniformMatrix3fv, UNIFORMMATRIX3FV) \
    X(UseProgram, USEPROGRAM) \
    X(VertexAttribPointer, VERTEXATTRIBPOINTER) \
    X(Viewport, VIEWPORT)
