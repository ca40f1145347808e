#include "runner/ParamSetting.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tessivar {
namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool parseFloat(const std::string& s, float& v) {
    if (s.empty() || std::isspace(static_cast<unsigned char>(s.front()))) return false;
    errno = 0;
    char* end = nullptr;
    const float f = std::strtof(s.c_str(), &end);
    if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(f)) return false;
    v = f;
    return true;
}

bool parseSwitch(const std::string& s, float& v) {
    const std::string l = lower(s);
    if (l == "on" || l == "true" || l == "yes" || l == "1") {
        v = 1.0f;
        return true;
    }
    if (l == "off" || l == "false" || l == "no" || l == "0") {
        v = 0.0f;
        return true;
    }
    return false;
}

}  // namespace

bool ParseSetting(const ModuleInfo& info, const std::string& assignment, ParamSetting& out, std::string& error) {
    const std::string where = "--set " + assignment + ": ";
    const size_t eq = assignment.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = where + "expected NAME=VALUE";
        return false;
    }
    const std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1);
    const ParamDesc* p = info.FindParam(name);
    if (!p) {
        std::string known;
        for (const auto& q : info.params) known += (known.empty() ? "" : ", ") + q.name;
        error = where + "no parameter named '" + name + "' in " + info.path +
                (known.empty() ? " (it has no parameters)" : " (parameters: " + known + ")");
        return false;
    }
    out = ParamSetting{};
    out.param = p;
    switch (p->type) {
        case FF_TYPE_TEXT:
        case FF_TYPE_FILE:
            out.text = value;
            return true;
        case FF_TYPE_BOOLEAN:
        case FF_TYPE_EVENT:
            if (parseSwitch(value, out.value)) return true;
            error = where + "'" + p->name + "' is a switch: use on or off";
            return false;
        case FF_TYPE_BUFFER:
            error = where + "'" + p->name + "' is a buffer and cannot be set from the command line";
            return false;
        case FF_TYPE_OPTION: {
            // An option's name (exact, then ignoring case), or its position.
            const ParamDesc::Element* chosen = nullptr;
            for (const auto& e : p->elements)
                if (!chosen && e.name == value) chosen = &e;
            for (const auto& e : p->elements)
                if (!chosen && !e.name.empty() && lower(e.name) == lower(value)) chosen = &e;
            float position = 0;
            if (!chosen && parseFloat(value, position) && position >= 0 && position < float(p->elements.size()) &&
                position == std::floor(position))
                chosen = &p->elements[size_t(position)];
            if (chosen) {
                out.value = chosen->value;
                return true;
            }
            std::string names;
            for (const auto& e : p->elements) names += (names.empty() ? "" : ", ") + e.name;
            error = where + "'" + p->name + "' has no option '" + value + "' (options: " + names + ")";
            return false;
        }
        default:
            if (parseFloat(value, out.value)) return true;
            error = where + "'" + p->name + "' takes a number, not '" + value + "'";
            return false;
    }
}

bool ApplySetting(const Instance& instance, const ParamSetting& s, std::string& error) {
    const bool ok = s.param->IsText() ? instance.SetText(s.param->index, s.text)
                                      : instance.SetFloat(s.param->index, s.value);
    if (!ok) error = "--set: the module refused the value for '" + s.param->name + "'";
    return ok;
}

}  // namespace tessivar
