// ParamSetting -- "NAME=VALUE" from the command line, resolved against a
// module's parameter list and sent to an instance.
//
// NAME is a display name (exact, then ignoring case), the full name of a
// parameter whose display name the record cut to 16 characters, or a
// decimal index. VALUE depends on the parameter's type: booleans and events
// take on/off (also true/false, yes/no, 1/0), options take the name of one
// of their options (or its position), texts and files take the text as it
// stands, every other type takes a number, which is sent unchanged (the
// module clamps or rejects; a number outside the parameter's range is sent
// with a note saying what the module kept). Buffers cannot be set this way.
#pragma once

#include "runner/Module.h"

#include <string>

namespace tessivar {

struct ParamSetting {
    std::string assignment;  // as given, for messages
    const ParamDesc* param = nullptr;
    float value = 0.0f;  // numeric types
    std::string text;    // text and file types
    bool outsideRange = false;
};

// False with one line naming the argument and what is wrong.
bool ParseSetting(const ModuleInfo& info, const std::string& assignment, ParamSetting& out, std::string& error);
// False with one line when the module refused the value (or crashed). A
// number outside the parameter's range gets one line in `note`: that it was
// sent as given, and what the module kept.
bool ApplySetting(const Instance& instance, const ParamSetting& setting, std::string& error, std::string& note);

}  // namespace tessivar
