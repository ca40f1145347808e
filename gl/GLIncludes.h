// One place that decides how GL is reached on each platform.
// Linux: the GLVND libOpenGL with core prototypes, no loader.
// macOS: the system OpenGL framework's core-profile header.
#pragma once

#if defined(__APPLE__)
#define GL_SILENCE_DEPRECATION 1
#include <OpenGL/gl3.h>
#else
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#endif
