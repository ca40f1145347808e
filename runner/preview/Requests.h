// Requests -- what the page may ask for, checked before anything happens.
//
// The page can set parameters and drive the transport, nothing else. A
// request is taken whole or refused whole with one line saying why; a refused
// request changes nothing.
//
//   POST param      {"index": 3, "value": 0.25}          a number
//                   {"index": 13, "text": "hello"}        a text parameter
//                   [{...}, {...}]                        several at once (an X/Y pair)
//   POST transport  {"action": "play" | "pause" | "step"}
//                   {"action": "loop", "on": true}
//
// Numbers must lie within the parameter's range (0..1 for switches, events
// and colours), be whole for integers and be one of the options' values for
// options. File parameters are refused: the page never names a file for the
// module to read; they are set with --set on the command line. Buffers are
// fed from the audio and refused too.
#pragma once

#include "runner/Module.h"
#include "runner/preview/Hub.h"

#include <string>
#include <vector>

namespace tessivar::preview {

// Longest text the page may send, in bytes; more is refused, not cut.
constexpr size_t kMaxTextBytes = 4096;
// Largest request body the server reads.
constexpr size_t kMaxBodyBytes = 64 * 1024;

bool ParseParamRequest(const ModuleInfo& info, uint64_t build, const std::string& body, std::vector<Command>& out,
                       std::string& error);
bool ParseTransportRequest(const std::string& body, Command& out, std::string& error);

// The parameters as the page builds its controls from them.
nlohmann::json ParamsToJson(const ModuleInfo& info);

}  // namespace tessivar::preview
