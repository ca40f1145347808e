#include "quickstart/FFGLShaderBuilder.h"

namespace ffglqs {

namespace {

bool TypesAt(const ParamList& params, size_t pos, std::initializer_list<unsigned int> types) {
    if (params.size() < pos || params.size() - pos < types.size()) return false;
    for (unsigned int type : types) {
        const auto& param = params[pos++];
        if (!param || param->GetType() != type) return false;
    }
    return true;
}

}  // namespace

bool IsRGBColorAt(const ParamList& params, size_t pos) {
    return TypesAt(params, pos, {FF_TYPE_RED, FF_TYPE_GREEN, FF_TYPE_BLUE});
}

bool IsHueColorAt(const ParamList& params, size_t pos) {
    return TypesAt(params, pos, {FF_TYPE_HUE, FF_TYPE_SATURATION, FF_TYPE_BRIGHTNESS, FF_TYPE_ALPHA});
}

std::string UniformDeclarations(const ParamList& params) {
    std::string out;
    WalkParams(params, [&](ParamItem item, size_t pos) {
        if (!params[pos]) return;
        const Param& param = *params[pos];
        const char* glslType = "float";
        if (item == ParamItem::RGBColor)
            glslType = "vec3";
        else if (item == ParamItem::HueColor)
            glslType = "vec4";
        else if (param.GetType() == FF_TYPE_BOOLEAN || param.GetType() == FF_TYPE_EVENT)
            glslType = "bool";
        else if (param.GetType() == FF_TYPE_BUFFER)
            return;  // spectra reach the plugin through Audio, not as uniforms
        out += "uniform ";
        out += glslType;
        out += " ";
        out += param.GetName();
        out += ";\n";
    });
    return out;
}

void IncludeSnippet(SnippetSet& included, shader::snippet_id id) {
    if (!included.insert(id).second) return;
    const auto deps = shader::dependencies.find(id);
    if (deps != shader::dependencies.end()) included.insert(deps->second.begin(), deps->second.end());
}

std::string BuildFragmentSource(const std::string& base, const ParamList& params, const SnippetSet& included,
                                const std::string& code) {
    std::string source = base + UniformDeclarations(params);
    for (shader::snippet_id id : included) {
        const auto text = shader::snippets.find(id);
        if (text != shader::snippets.end()) source += text->second;
    }
    return source + code;
}

}  // namespace ffglqs
