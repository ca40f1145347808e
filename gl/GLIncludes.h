// One place that decides how GL is reached on each platform.
//
// Module code (toolkit, effect, quick-start framework, plugins) calls GL
// through the table of GLEntryPoints.h everywhere, so the same code runs where
// the system library exports only GL 1.1 (Windows).
//
// Host code (runner, tests, benchmarks) is built with TESSIVAR_GL_HOST. On
// Linux it links GLVND's libOpenGL with core prototypes and on macOS the
// framework; on Windows it calls through its own table (GLHostFunctions.h),
// filled when the runner makes its context.
#pragma once

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>
#endif

#if defined(__APPLE__)
#define GL_SILENCE_DEPRECATION 1
#include <OpenGL/gl3.h>
#else
#if defined(TESSIVAR_GL_HOST) && !defined(_WIN32) && !defined(GL_GLEXT_PROTOTYPES)
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#endif

#include "gl/GLEntryPoints.h"

#if defined(TESSIVAR_GL_HOST) && defined(_WIN32)
#include "gl/GLHostFunctions.h"
#endif
