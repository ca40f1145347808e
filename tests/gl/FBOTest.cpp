#include "gl/FFGLToolkit.h"
