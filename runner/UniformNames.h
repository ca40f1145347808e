// UniformNames -- why a module's instance may have failed: a parameter whose
// name cannot be the name of a GLSL uniform.
//
// A module made with the quick-start kit declares each parameter as a
// uniform of the parameter's name in a shader that begins with the kit's own
// declarations; a name that is not an identifier, is a GLSL keyword, is one
// of the kit's uniforms (time, inputTexture, ...) or is taken twice makes
// the shader fail to compile, with an error that points at the kit's lines
// rather than the name. ffglrun cannot know that a module uses the kit, so
// what this finds is offered as a hint, never as a verdict.
#pragma once

#include "runner/Module.h"

#include <string>

namespace tessivar {

// One line starting "hint: " naming each parameter whose name could not be
// such a uniform and why; empty when every name could be.
std::string UniformNameHint(const ModuleInfo& info);

}  // namespace tessivar
