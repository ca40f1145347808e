#include "runner/PngGuard.h"

#include <setjmp.h>

int tessivarPngGuarded(png_structp png, TessivarPngStep step, void* context) {
    if (setjmp(png_jmpbuf(png))) return 0;
    step(png, context);
    return 1;
}
