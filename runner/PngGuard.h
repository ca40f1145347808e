// PngGuard -- libpng's error jump, set in C.
//
// libpng ends a fatal error with longjmp back to where its caller called
// setjmp. In C++ that is defined only while no object with a destructor would
// be skipped, and MSVC warns of any setjmp in C++ (C4611, an error at /W4
// /WX); so the setjmp is made here, in C, around a step the reader or writer
// hands in. A step keeps no object with a destructor alive while it calls
// libpng: whatever must outlive a jump lives in its context.
#pragma once

#include <png.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*TessivarPngStep)(png_structp png, void* context);

/* Calls step(png, context): 1 when it returned, 0 when libpng jumped out. */
int tessivarPngGuarded(png_structp png, TessivarPngStep step, void* context);

#ifdef __cplusplus
}
#endif
