// ParamSetting -- "NAME=VALUE" from the command line, resolved against a
// module's parameter list and sent to an instance.
//
// NAME is a display name (exact, then ignoring case) or a decimal index.
// VALUE depends on the parameter's type: booleans and events take on/off
// (also true/false, yes/no, 1/0), options take the name of one of their
// options (or its position), texts and files take the text as it stands,
// every other type takes a number, which is sent unchanged (the module
// clamps or rejects). Buffers cannot be set this way.
#pragma once

#include "runner/Module.h"

#include <string>

namespace tessivar {

struct ParamSetting {
    const ParamDesc* param = nullptr;
    float value = 0.0f;  // numeric types
    std::string text;    // text and file types
};

// False with one line naming the argument and what is wrong.
bool ParseSetting(const ModuleInfo& info, const std::string& assignment, ParamSetting& out, std::string& error);
bool ApplySetting(const Instance& instance, const ParamSetting& setting, std::string& error);

}  // namespace tessivar
