// FFGLShaderBuilder -- how a quick-start plugin's parameter list becomes GLSL.
//
// Kept apart from the GL so it can be checked without a context.
//
// The walk: from position 0, three consecutive parameters of types red,
// green, blue form one RGB item (a vec3), four consecutive of types hue,
// saturation, brightness, alpha one hue item (a vec4); an item is named after
// its first member. Every other parameter is an item of its own: bool and
// event types become a bool uniform, an FFT buffer none, anything else a
// float. The same walk decides declarations and uploads, so the two never
// disagree.
#pragma once

#include "quickstart/FFGLParams.h"
#include "quickstart/FFGLShaderSnippets.h"

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace ffglqs {

using ParamList = std::vector<std::shared_ptr<Param>>;
using SnippetSet = std::set<shader::snippet_id>;

enum class ParamItem { Single, RGBColor, HueColor };

// Whether a whole group starts at `pos` (all its members inside the list).
bool IsRGBColorAt(const ParamList& params, size_t pos);
bool IsHueColorAt(const ParamList& params, size_t pos);

// Calls visit(kind, position of the first member) for each item, in order.
template <typename Visit>
void WalkParams(const ParamList& params, Visit&& visit) {
    size_t pos = 0;
    while (pos < params.size()) {
        if (IsRGBColorAt(params, pos)) {
            visit(ParamItem::RGBColor, pos);
            pos += 3;
        } else if (IsHueColorAt(params, pos)) {
            visit(ParamItem::HueColor, pos);
            pos += 4;
        } else {
            visit(ParamItem::Single, pos);
            pos += 1;
        }
    }
}

// One "uniform <type> <name>;\n" line per item of the walk.
std::string UniformDeclarations(const ParamList& params);

// Adds `id` and, the first time only, its direct dependencies.
void IncludeSnippet(SnippetSet& included, shader::snippet_id id);

// base + declarations + the included snippets in ascending id order + code.
std::string BuildFragmentSource(const std::string& base, const ParamList& params, const SnippetSet& included,
                                const std::string& code);

}  // namespace ffglqs
