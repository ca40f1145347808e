// InfoFormat -- what `ffglrun info` prints: a table for people, JSON for scripts.
//
// The JSON keys are stable; scripts may rely on them:
//   path, id, name, short_name (null when none), type, type_code,
//   api_version {major, minor}, plugin_version {major, minor} (null without
//   an extended record), description, about,
//   capabilities {min_inputs, max_inputs, time, top_left_orientation},
//   thumbnail {present, width, height},
//   parameters [{index, name, type, type_code, usage, default (number, or
//   text for text and file types), range [min, max], group, visible,
//   elements [{name, value}], file_extensions [..]}]
#pragma once

#include "runner/Module.h"

#include <nlohmann/json.hpp>
#include <string>

namespace tessivar {

nlohmann::json InfoToJson(const ModuleInfo& info);
std::string InfoToText(const ModuleInfo& info);

}  // namespace tessivar
