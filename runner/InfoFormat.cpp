#include "runner/InfoFormat.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace tessivar {
namespace {

std::string number(float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(v));
    return buf;
}

std::string defaultText(const ParamDesc& p) {
    if (p.IsText()) return "\"" + p.defaultText + "\"";
    if (p.type == FF_TYPE_BOOLEAN || p.type == FF_TYPE_EVENT) return p.defaultValue >= 0.5f ? "on" : "off";
    if (p.type == FF_TYPE_OPTION)
        for (const auto& e : p.elements)
            if (e.value == p.defaultValue && !e.name.empty()) return e.name;
    return number(p.defaultValue);
}

std::string elementsText(const ParamDesc& p) {
    if (p.type == FF_TYPE_OPTION) {
        std::string s;
        for (const auto& e : p.elements) s += (s.empty() ? "" : ", ") + e.name;
        return s;
    }
    if (p.type == FF_TYPE_FILE) {
        std::string s;
        for (const auto& x : p.fileExtensions) s += (s.empty() ? "" : ", ") + x;
        return s.empty() ? "" : "extensions: " + s;
    }
    if (p.type == FF_TYPE_BUFFER) return std::to_string(p.elements.size()) + " elements";
    return "";
}

}  // namespace

nlohmann::json InfoToJson(const ModuleInfo& info) {
    using nlohmann::json;
    json j;
    j["path"] = info.path;
    j["id"] = info.id;
    j["name"] = info.name;
    j["short_name"] = info.hasShortName ? json(info.shortName) : json(nullptr);
    j["type"] = PluginTypeName(info.type);
    j["type_code"] = info.type;
    j["api_version"] = {{"major", info.apiMajor}, {"minor", info.apiMinor}};
    j["plugin_version"] =
        info.hasExtendedInfo ? json{{"major", info.pluginMajor}, {"minor", info.pluginMinor}} : json(nullptr);
    j["description"] = info.description;
    j["about"] = info.about;
    j["capabilities"] = {{"min_inputs", info.minInputs},
                         {"max_inputs", info.maxInputs},
                         {"time", info.timeSupported},
                         {"top_left_orientation", info.topLeftOrientation}};
    j["thumbnail"] = {{"present", info.hasThumbnail}, {"width", info.thumbnailWidth}, {"height", info.thumbnailHeight}};
    json params = json::array();
    for (const ParamDesc& p : info.params) {
        json elements = json::array();
        for (const auto& e : p.elements) elements.push_back({{"name", e.name}, {"value", e.value}});
        params.push_back({{"index", p.index},
                          {"name", p.name},
                          {"type", TypeName(p.type)},
                          {"type_code", p.type},
                          {"usage", p.usage == FF_USAGE_FFT ? "fft" : "standard"},
                          {"default", p.IsText() ? json(p.defaultText) : json(p.defaultValue)},
                          {"range", {p.rangeMin, p.rangeMax}},
                          {"group", p.group},
                          {"visible", p.visible},
                          {"elements", elements},
                          {"file_extensions", p.fileExtensions}});
    }
    j["parameters"] = params;
    return j;
}

std::string InfoToText(const ModuleInfo& info) {
    std::ostringstream out;
    out << info.name << " (" << info.id << "), " << PluginTypeName(info.type) << ", FFGL API " << info.apiMajor << "."
        << info.apiMinor;
    if (info.hasExtendedInfo) out << ", version " << info.pluginMajor << "." << info.pluginMinor;
    out << "\n";
    if (!info.description.empty()) out << "  " << info.description << "\n";
    if (!info.about.empty()) out << "  About: " << info.about << "\n";
    out << "  Inputs: " << info.minInputs << " to " << info.maxInputs
        << "   Time: " << (info.timeSupported ? "yes" : "no")
        << "   Top-left textures: " << (info.topLeftOrientation ? "yes" : "no") << "   Thumbnail: "
        << (info.hasThumbnail ? std::to_string(info.thumbnailWidth) + "x" + std::to_string(info.thumbnailHeight)
                              : std::string("none"))
        << "\n";
    out << "Parameters (" << info.params.size() << ")" << (info.params.empty() ? "" : ":") << "\n";
    if (info.params.empty()) return out.str();

    std::vector<std::vector<std::string>> rows = {
        {"#", "Name", "Type", "Default", "Range", "Group", "Visible", "Options"}};
    // Switches and option lists are set by on/off and by name: a range of
    // numbers would only mislead.
    const auto range = [](const ParamDesc& p) {
        const bool byWord =
            p.IsText() || p.type == FF_TYPE_BOOLEAN || p.type == FF_TYPE_EVENT || p.type == FF_TYPE_OPTION;
        return byWord ? std::string() : number(p.rangeMin) + " .. " + number(p.rangeMax);
    };
    for (const ParamDesc& p : info.params)
        rows.push_back({std::to_string(p.index), p.name, TypeName(p.type), defaultText(p), range(p), p.group,
                        p.visible ? "yes" : "no", elementsText(p)});
    std::vector<size_t> width(rows[0].size(), 0);
    for (const auto& r : rows)
        for (size_t c = 0; c < r.size(); ++c) width[c] = std::max(width[c], r[c].size());
    for (const auto& r : rows) {
        std::string line = " ";
        for (size_t c = 0; c < r.size(); ++c) line += " " + r[c] + std::string(width[c] - r[c].size(), ' ') + " ";
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out << line << "\n";
    }
    return out.str();
}

}  // namespace tessivar
