// GLApi.h -- what module code knows of OpenGL: its types, the enums modules
// use, and the pointer type of each function in the table (GLFunctions.h).
//
// One header of our own, the same on every platform, so a module needs no
// SDK header: Apple's OpenGL/gl3.h comes only with Xcode's SDK, and the
// Windows SDK stops at GL 1.1. With it a macOS bundle cross-builds anywhere.
// Every name is spelled and valued as in Khronos' <GL/glcorearb.h>, which two
// checks hold it against: tests/gl/GLTableCheck.cmake reads the enums (same
// value, core in 4.1 or older), and tests/gl/GLApiMatch.cpp includes both
// headers, where any pointer type or GL type that differs fails to compile.
//
// Host code (TESSIVAR_GL_HOST: runner, tests, benchmarks) includes the
// system's GL header first (gl/GLIncludes.h) and takes the enums from there;
// the types and pointer types here are then the same declarations again.
// Add an enum here when module code needs one, copied from glcorearb.h.
#pragma once

#include <stddef.h>

// GL's calling convention (APIENTRY): __stdcall on Windows, which 64-bit
// compilers ignore but keep in the type; nothing elsewhere.
#if defined(_WIN32)
#define TESSIVAR_GL_APIENTRY __stdcall
#else
#define TESSIVAR_GL_APIENTRY
#endif

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef int GLint;
typedef int GLsizei;
typedef unsigned int GLuint;
typedef float GLfloat;
typedef char GLchar;
typedef unsigned char GLubyte;
// (khronos_ssize_t: long, or long long where long is 32 bits; ptrdiff_t is
// that type on every platform we build for.)
typedef ptrdiff_t GLsizeiptr;

// The tables below keep glcorearb.h's columns, and tests/gl/GLTableCheck.cmake
// reads their pointer types as glcorearb.h writes them (`*PFNGL...PROC`).
// clang-format off
#if !defined(TESSIVAR_GL_HOST)
// GL 1.0 - 1.5
#define GL_FALSE                          0
#define GL_TRUE                           1
#define GL_ONE                            1
#define GL_TRIANGLES                      0x0004
#define GL_ONE_MINUS_SRC_COLOR            0x0301
#define GL_ONE_MINUS_SRC_ALPHA            0x0303
#define GL_POLYGON_MODE                   0x0B40
#define GL_POLYGON_SMOOTH                 0x0B41
#define GL_CULL_FACE                      0x0B44
#define GL_DEPTH_TEST                     0x0B71
#define GL_STENCIL_TEST                   0x0B90
#define GL_VIEWPORT                       0x0BA2
#define GL_BLEND                          0x0BE2
#define GL_COLOR_LOGIC_OP                 0x0BF2
#define GL_SCISSOR_BOX                    0x0C10
#define GL_SCISSOR_TEST                   0x0C11
#define GL_PACK_ROW_LENGTH                0x0D02
#define GL_PACK_SKIP_ROWS                 0x0D03
#define GL_PACK_SKIP_PIXELS               0x0D04
#define GL_PACK_ALIGNMENT                 0x0D05
#define GL_TEXTURE_2D                     0x0DE1
#define GL_UNSIGNED_BYTE                  0x1401
#define GL_FLOAT                          0x1406
#define GL_COLOR                          0x1800
#define GL_RGBA                           0x1908
#define GL_FILL                           0x1B02
#define GL_RENDERER                       0x1F01
#define GL_LINEAR                         0x2601
#define GL_TEXTURE_MAG_FILTER             0x2800
#define GL_TEXTURE_MIN_FILTER             0x2801
#define GL_TEXTURE_WRAP_S                 0x2802
#define GL_TEXTURE_WRAP_T                 0x2803
#define GL_FUNC_ADD                       0x8006
#define GL_BLEND_EQUATION_RGB             0x8009
#define GL_FUNC_REVERSE_SUBTRACT          0x800B
#define GL_RGBA8                          0x8058
#define GL_SAMPLE_ALPHA_TO_COVERAGE       0x809E
#define GL_SAMPLE_ALPHA_TO_ONE            0x809F
#define GL_SAMPLE_COVERAGE                0x80A0
#define GL_BLEND_DST_RGB                  0x80C8
#define GL_BLEND_DST_ALPHA                0x80CA
#define GL_CLAMP_TO_EDGE                  0x812F
#define GL_DEPTH_COMPONENT24              0x81A6
#define GL_TEXTURE0                       0x84C0
#define GL_ARRAY_BUFFER                   0x8892
#define GL_ELEMENT_ARRAY_BUFFER           0x8893
#define GL_STATIC_DRAW                    0x88E4
// GL 2.0 - 2.1
#define GL_BLEND_EQUATION_ALPHA           0x883D
#define GL_PIXEL_PACK_BUFFER              0x88EB
#define GL_PIXEL_PACK_BUFFER_BINDING      0x88ED
#define GL_FRAGMENT_SHADER                0x8B30
#define GL_VERTEX_SHADER                  0x8B31
#define GL_COMPILE_STATUS                 0x8B81
#define GL_LINK_STATUS                    0x8B82
#define GL_INFO_LOG_LENGTH                0x8B84
// GL 3.0 - 3.2
#define GL_RASTERIZER_DISCARD             0x8C89
#define GL_INTERLEAVED_ATTRIBS            0x8C8C
#define GL_DRAW_FRAMEBUFFER_BINDING       0x8CA6
#define GL_READ_FRAMEBUFFER               0x8CA8
#define GL_DRAW_FRAMEBUFFER               0x8CA9
#define GL_READ_FRAMEBUFFER_BINDING       0x8CAA
#define GL_FRAMEBUFFER_COMPLETE           0x8CD5
#define GL_COLOR_ATTACHMENT0              0x8CE0
#define GL_DEPTH_ATTACHMENT               0x8D00
#define GL_FRAMEBUFFER                    0x8D40
#define GL_RENDERBUFFER                   0x8D41
#define GL_UNIFORM_BUFFER                 0x8A11
#define GL_FRAMEBUFFER_SRGB               0x8DB9
#define GL_GEOMETRY_SHADER                0x8DD9
#define GL_SAMPLE_MASK                    0x8E51
#endif

// One pointer type per table function (GLFunctions.h), in its order.
typedef void (TESSIVAR_GL_APIENTRY *PFNGLACTIVETEXTUREPROC)(GLenum texture);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLATTACHSHADERPROC)(GLuint program, GLuint shader);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBINDBUFFERPROC)(GLenum target, GLuint buffer);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBINDFRAMEBUFFERPROC)(GLenum target, GLuint framebuffer);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBINDRENDERBUFFERPROC)(GLenum target, GLuint renderbuffer);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBINDTEXTUREPROC)(GLenum target, GLuint texture);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBINDVERTEXARRAYPROC)(GLuint array);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLBUFFERDATAPROC)(GLenum target, GLsizeiptr size, const void* data, GLenum usage);
typedef GLenum (TESSIVAR_GL_APIENTRY *PFNGLCHECKFRAMEBUFFERSTATUSPROC)(GLenum target);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLCLEARBUFFERFVPROC)(GLenum buffer, GLint drawbuffer, const GLfloat* value);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLCOMPILESHADERPROC)(GLuint shader);
typedef GLuint (TESSIVAR_GL_APIENTRY *PFNGLCREATEPROGRAMPROC)(void);
typedef GLuint (TESSIVAR_GL_APIENTRY *PFNGLCREATESHADERPROC)(GLenum type);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETEBUFFERSPROC)(GLsizei n, const GLuint* buffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETEFRAMEBUFFERSPROC)(GLsizei n, const GLuint* framebuffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETEPROGRAMPROC)(GLuint program);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETERENDERBUFFERSPROC)(GLsizei n, const GLuint* renderbuffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETESHADERPROC)(GLuint shader);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETETEXTURESPROC)(GLsizei n, const GLuint* textures);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDELETEVERTEXARRAYSPROC)(GLsizei n, const GLuint* arrays);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDISABLEPROC)(GLenum cap);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDISABLEIPROC)(GLenum target, GLuint index);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLDRAWARRAYSPROC)(GLenum mode, GLint first, GLsizei count);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLENABLEPROC)(GLenum cap);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLENABLEVERTEXATTRIBARRAYPROC)(GLuint index);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLENABLEIPROC)(GLenum target, GLuint index);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLFRAMEBUFFERRENDERBUFFERPROC)(GLenum target, GLenum attachment,
                                                                       GLenum renderbuffertarget, GLuint renderbuffer);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLFRAMEBUFFERTEXTURE2DPROC)(GLenum target, GLenum attachment, GLenum textarget,
                                                                    GLuint texture, GLint level);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGENBUFFERSPROC)(GLsizei n, GLuint* buffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGENFRAMEBUFFERSPROC)(GLsizei n, GLuint* framebuffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGENRENDERBUFFERSPROC)(GLsizei n, GLuint* renderbuffers);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGENTEXTURESPROC)(GLsizei n, GLuint* textures);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGENVERTEXARRAYSPROC)(GLsizei n, GLuint* arrays);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETFLOATVPROC)(GLenum pname, GLfloat* data);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETINTEGERI_VPROC)(GLenum target, GLuint index, GLint* data);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETINTEGERVPROC)(GLenum pname, GLint* data);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETPROGRAMINFOLOGPROC)(GLuint program, GLsizei bufSize, GLsizei* length,
                                                                 GLchar* infoLog);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETPROGRAMIVPROC)(GLuint program, GLenum pname, GLint* params);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETSHADERINFOLOGPROC)(GLuint shader, GLsizei bufSize, GLsizei* length,
                                                                GLchar* infoLog);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLGETSHADERIVPROC)(GLuint shader, GLenum pname, GLint* params);
typedef const GLubyte* (TESSIVAR_GL_APIENTRY *PFNGLGETSTRINGPROC)(GLenum name);
typedef GLint (TESSIVAR_GL_APIENTRY *PFNGLGETUNIFORMLOCATIONPROC)(GLuint program, const GLchar* name);
typedef GLboolean (TESSIVAR_GL_APIENTRY *PFNGLISENABLEDPROC)(GLenum cap);
typedef GLboolean (TESSIVAR_GL_APIENTRY *PFNGLISENABLEDIPROC)(GLenum target, GLuint index);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLLINKPROGRAMPROC)(GLuint program);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLPIXELSTOREIPROC)(GLenum pname, GLint param);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLREADPIXELSPROC)(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                                                         GLenum type, void* pixels);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLRENDERBUFFERSTORAGEPROC)(GLenum target, GLenum internalformat, GLsizei width,
                                                                   GLsizei height);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLSCISSORINDEXEDPROC)(GLuint index, GLint left, GLint bottom, GLsizei width,
                                                              GLsizei height);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLSHADERSOURCEPROC)(GLuint shader, GLsizei count, const GLchar* const* string,
                                                           const GLint* length);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLTEXIMAGE2DPROC)(GLenum target, GLint level, GLint internalformat, GLsizei width,
                                                         GLsizei height, GLint border, GLenum format, GLenum type,
                                                         const void* pixels);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLTEXPARAMETERIPROC)(GLenum target, GLenum pname, GLint param);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLTRANSFORMFEEDBACKVARYINGSPROC)(GLuint program, GLsizei count,
                                                                         const GLchar* const* varyings,
                                                                         GLenum bufferMode);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORM1FPROC)(GLint location, GLfloat v0);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORM1IPROC)(GLint location, GLint v0);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORM2FPROC)(GLint location, GLfloat v0, GLfloat v1);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORM3FPROC)(GLint location, GLfloat v0, GLfloat v1, GLfloat v2);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORM4FPROC)(GLint location, GLfloat v0, GLfloat v1, GLfloat v2, GLfloat v3);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUNIFORMMATRIX3FVPROC)(GLint location, GLsizei count, GLboolean transpose,
                                                                const GLfloat* value);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLUSEPROGRAMPROC)(GLuint program);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLVERTEXATTRIBPOINTERPROC)(GLuint index, GLint size, GLenum type,
                                                                   GLboolean normalized, GLsizei stride,
                                                                   const void* pointer);
typedef void (TESSIVAR_GL_APIENTRY *PFNGLVIEWPORTPROC)(GLint x, GLint y, GLsizei width, GLsizei height);
// clang-format on
