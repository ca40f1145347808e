// One place that decides how GL is reached on each platform.
//
// Module code (toolkit, effect, quick-start framework, plugins) knows GL only
// through our own header (GLApi.h) and calls it through the table of
// GLEntryPoints.h everywhere: no SDK header, and the same code runs where the
// system library exports only GL 1.1 (Windows) or is not linked at all
// (macOS, where the table is filled from the OpenGL framework by name).
//
// Host code (runner, tests, benchmarks) is built with TESSIVAR_GL_HOST and
// includes the system's header first. On Linux it links GLVND's libOpenGL
// with core prototypes and on macOS the framework; on Windows it calls
// through its own table (GLHostFunctions.h), filled when the runner makes its
// context. The macOS cross build (make build-macos), which compiles the
// runner but has no Apple SDK, takes Khronos' header in place of Apple's.
#pragma once

#if defined(TESSIVAR_GL_HOST)
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX 1
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN 1
#endif
#include <windows.h>
#include <GL/glcorearb.h>
#elif defined(__APPLE__) && __has_include(<OpenGL/gl3.h>)
#define GL_SILENCE_DEPRECATION 1
#include <OpenGL/gl3.h>
#else
// Linux, and macOS cross-built without Apple's SDK (make build-macos
// compiles the runner there): Khronos' header declares the same functions.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#endif
#endif

#include "gl/GLApi.h"
#include "gl/GLEntryPoints.h"

#if defined(TESSIVAR_GL_HOST) && defined(_WIN32)
#include "gl/GLHostFunctions.h"
#endif
