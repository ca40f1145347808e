#include "runner/ParamSetting.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
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

// A number as short as it reads: 1, 0.25, -2.
std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

// Types whose value is a number in a range.
bool ranged(uint32_t type) {
    switch (type) {
        case FF_TYPE_STANDARD:
        case FF_TYPE_INTEGER:
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

// Why `name` found no parameter: an index past the end, a name cut to 16
// characters that several share, or no such name.
std::string notFound(const ModuleInfo& info, const std::string& name) {
    const size_t count = info.params.size();
    if (name.find_first_not_of("0123456789") == std::string::npos)
        return "no parameter " + name + " in " + info.path +
               (count == 0 ? " (it has no parameters)"
                           : ": its parameters are numbered 0 to " + std::to_string(count - 1));
    if (name.size() > 16) {
        std::string shared;
        for (const auto& q : info.params)
            if (q.name == name.substr(0, 16)) shared += (shared.empty() ? "" : " and ") + std::to_string(q.index);
        if (shared.find(" and ") != std::string::npos)
            return "parameters " + shared + " are both shown as '" + name.substr(0, 16) +
                   "' (names are cut to 16 characters): give the index";
    }
    std::string known;
    for (const auto& q : info.params) known += (known.empty() ? "" : ", ") + q.name;
    return "no parameter named '" + name + "' in " + info.path +
           (known.empty() ? " (it has no parameters)" : " (parameters: " + known + ")");
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
        error = where + notFound(info, name);
        return false;
    }
    out = ParamSetting{};
    out.assignment = assignment;
    out.param = p;
    switch (p->type) {
        case FF_TYPE_TEXT:
        case FF_TYPE_FILE: out.text = value; return true;
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
            if (parseFloat(value, out.value)) {
                out.outsideRange = ranged(p->type) && (out.value < p->rangeMin || out.value > p->rangeMax);
                return true;
            }
            error = where + "'" + p->name + "' takes a number, not '" + value + "'";
            return false;
    }
}

bool ApplySetting(const Instance& instance, const ParamSetting& s, std::string& error, std::string& note) {
    note.clear();
    const bool ok =
        s.param->IsText() ? instance.SetText(s.param->index, s.text) : instance.SetFloat(s.param->index, s.value);
    if (instance.Crashed()) {
        error = instance.CrashLine();
        return false;
    }
    if (!ok) {
        error = "--set " + s.assignment + ": the module refused the value for '" + s.param->name + "'";
        return false;
    }
    if (s.outsideRange) {
        const float kept = instance.GetFloat(s.param->index);
        note = "--set " + s.assignment + ": " + number(s.value) + " is outside the range of '" + s.param->name + "' (" +
               number(s.param->rangeMin) + " .. " + number(s.param->rangeMax) + "); sent as given, and the module " +
               (kept == s.value ? std::string("kept it") : "keeps " + number(kept));
    }
    return true;
}

}  // namespace tessivar
