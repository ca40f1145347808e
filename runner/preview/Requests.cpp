#include "runner/preview/Requests.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tessivar::preview {
namespace {

using nlohmann::json;

bool isUnitType(uint32_t type) {
    switch (type) {
        case FF_TYPE_BOOLEAN:
        case FF_TYPE_EVENT:
        case FF_TYPE_RED:
        case FF_TYPE_GREEN:
        case FF_TYPE_BLUE:
        case FF_TYPE_HUE:
        case FF_TYPE_SATURATION:
        case FF_TYPE_BRIGHTNESS:
        case FF_TYPE_ALPHA: return true;
        default: return false;
    }
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string name(const ParamDesc& p) { return "parameter " + std::to_string(p.index) + " (" + p.name + ")"; }

bool checkNumber(const ParamDesc& p, double v, std::string& error) {
    if (p.type == FF_TYPE_OPTION) {
        for (const auto& e : p.elements)
            if (float(v) == e.value) return true;
        error = name(p) + ": " + number(v) + " is none of its options' values";
        return false;
    }
    const double lo = isUnitType(p.type) ? 0.0 : double(p.rangeMin), hi = isUnitType(p.type) ? 1.0 : double(p.rangeMax);
    if (v < std::min(lo, hi) || v > std::max(lo, hi)) {
        error = name(p) + ": " + number(v) + " is outside " + number(lo) + " .. " + number(hi);
        return false;
    }
    if (p.type == FF_TYPE_INTEGER && v != std::floor(v)) {
        error = name(p) + ": takes whole numbers";
        return false;
    }
    return true;
}

bool parseChange(const ModuleInfo& info, uint64_t build, const json& j, Command& c, std::string& error) {
    if (!j.is_object() || !j.contains("index") || !j["index"].is_number_unsigned()) {
        error = "each change needs an \"index\" (a parameter number)";
        return false;
    }
    const uint64_t index = j["index"].get<uint64_t>();
    if (index >= info.params.size()) {
        error = "no parameter " + std::to_string(index) + " (there are " + std::to_string(info.params.size()) + ")";
        return false;
    }
    const ParamDesc& p = info.params[index];
    c.index = uint32_t(index);
    c.build = build;
    if (p.type == FF_TYPE_FILE) {
        error = name(p) + " names a file; set it on the command line with --set";
        return false;
    }
    if (p.type == FF_TYPE_BUFFER) {
        error = name(p) + " is a buffer, fed from the audio";
        return false;
    }
    const bool hasValue = j.contains("value"), hasText = j.contains("text");
    if (hasValue == hasText || j.size() != 2) {
        error = name(p) + ": give \"index\" and one of \"value\" or \"text\"";
        return false;
    }
    if (p.type == FF_TYPE_TEXT) {
        if (!hasText || !j["text"].is_string()) {
            error = name(p) + " takes a \"text\"";
            return false;
        }
        c.kind = Command::Kind::SetText;
        c.text = j["text"].get<std::string>();
        if (c.text.size() > kMaxTextBytes) {
            error = name(p) + ": texts are at most " + std::to_string(kMaxTextBytes) + " bytes";
            return false;
        }
        if (std::memchr(c.text.data(), 0, c.text.size())) {
            error = name(p) + ": a text cannot hold a zero character";
            return false;
        }
        return true;
    }
    if (!hasValue || !j["value"].is_number()) {
        error = name(p) + " takes a number \"value\"";
        return false;
    }
    const double v = j["value"].get<double>();
    if (!std::isfinite(v) || !checkNumber(p, v, error)) {
        if (error.empty()) error = name(p) + ": not a finite number";
        return false;
    }
    c.kind = Command::Kind::SetValue;
    c.value = float(v);
    return true;
}

bool parseBody(const std::string& body, json& j, std::string& error) {
    if (body.size() > kMaxBodyBytes) {
        error = "request body over " + std::to_string(kMaxBodyBytes) + " bytes";
        return false;
    }
    j = json::parse(body, nullptr, false);
    if (j.is_discarded()) {
        error = "the body is not JSON";
        return false;
    }
    return true;
}

}  // namespace

bool ParseParamRequest(const ModuleInfo& info, uint64_t build, const std::string& body, std::vector<Command>& out,
                       std::string& error) {
    out.clear();
    json j;
    if (!parseBody(body, j, error)) return false;
    const json changes = j.is_array() ? j : json::array({j});
    if (changes.empty() || changes.size() > info.params.size()) {
        error = "give 1 to " + std::to_string(info.params.size()) + " changes";
        return false;
    }
    for (const json& change : changes) {
        Command c;
        if (!parseChange(info, build, change, c, error)) {
            out.clear();
            return false;
        }
        out.push_back(std::move(c));
    }
    return true;
}

bool ParseTransportRequest(const std::string& body, Command& out, std::string& error) {
    json j;
    if (!parseBody(body, j, error)) return false;
    const std::string action =
        j.is_object() && j.contains("action") && j["action"].is_string() ? j["action"].get<std::string>() : "";
    const size_t fields = j.is_object() ? j.size() : 0;
    if ((action == "play" || action == "pause" || action == "step") && fields == 1) {
        out.kind = action == "play"    ? Command::Kind::Play
                   : action == "pause" ? Command::Kind::Pause
                                       : Command::Kind::Step;
        return true;
    }
    if (action == "loop" && fields == 2 && j.contains("on") && j["on"].is_boolean()) {
        out.kind = Command::Kind::Loop;
        out.on = j["on"].get<bool>();
        return true;
    }
    error = "expected {\"action\": \"play\" | \"pause\" | \"step\"} or {\"action\": \"loop\", \"on\": true | false}";
    return false;
}

nlohmann::json ParamsToJson(const ModuleInfo& info) {
    json params = json::array();
    for (const ParamDesc& p : info.params) {
        json e = json::array();
        for (const auto& el : p.elements) e.push_back({{"name", el.name}, {"value", el.value}});
        const bool unit = isUnitType(p.type);
        params.push_back({{"index", p.index},
                          {"name", p.name},
                          {"type", TypeName(p.type)},
                          {"usage", p.usage == FF_USAGE_FFT ? "fft" : "standard"},
                          {"group", p.group},
                          {"visible", p.visible},
                          {"min", unit ? 0.0f : p.rangeMin},
                          {"max", unit ? 1.0f : p.rangeMax},
                          {"default", p.defaultValue},
                          {"defaultText", p.defaultText},
                          {"elements", p.type == FF_TYPE_BUFFER ? json::array() : e},
                          {"elementCount", p.elements.size()}});
    }
    return params;
}

}  // namespace tessivar::preview
