// The module side of TestModuleControl.h.
#pragma once

#include "tests/host/modules/TestModuleControl.h"

TestModuleControl& Control();
void Trace(char letter);
