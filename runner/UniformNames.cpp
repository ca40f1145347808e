#include "runner/UniformNames.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace tessivar {
namespace {

// Word lists, laid out as prose rather than one word a line.
// clang-format off

// GLSL 4.10's keywords and the words it reserves for later.
const std::set<std::string> kKeywords = {
    "attribute", "const", "uniform", "varying", "layout", "centroid", "flat", "smooth", "noperspective", "patch",
    "sample", "break", "continue", "do", "for", "while", "switch", "case", "default", "if", "else", "subroutine",
    "in", "out", "inout", "float", "double", "int", "void", "bool", "true", "false", "invariant", "precise",
    "discard", "return", "mat2", "mat3", "mat4", "dmat2", "dmat3", "dmat4", "mat2x2", "mat2x3", "mat2x4",
    "dmat2x2", "dmat2x3", "dmat2x4", "mat3x2", "mat3x3", "mat3x4", "dmat3x2", "dmat3x3", "dmat3x4", "mat4x2",
    "mat4x3", "mat4x4", "dmat4x2", "dmat4x3", "dmat4x4", "vec2", "vec3", "vec4", "ivec2", "ivec3", "ivec4", "bvec2",
    "bvec3", "bvec4", "dvec2", "dvec3", "dvec4", "uint", "uvec2", "uvec3", "uvec4", "lowp", "mediump", "highp",
    "precision", "sampler1D", "sampler2D", "sampler3D", "samplerCube", "sampler1DShadow", "sampler2DShadow",
    "samplerCubeShadow", "sampler1DArray", "sampler2DArray", "sampler1DArrayShadow", "sampler2DArrayShadow",
    "isampler1D", "isampler2D", "isampler3D", "isamplerCube", "isampler1DArray", "isampler2DArray", "usampler1D",
    "usampler2D", "usampler3D", "usamplerCube", "usampler1DArray", "usampler2DArray", "sampler2DRect",
    "sampler2DRectShadow", "isampler2DRect", "usampler2DRect", "samplerBuffer", "isamplerBuffer",
    "usamplerBuffer", "sampler2DMS", "isampler2DMS", "usampler2DMS", "sampler2DMSArray", "isampler2DMSArray",
    "usampler2DMSArray", "samplerCubeArray", "samplerCubeArrayShadow", "isamplerCubeArray", "usamplerCubeArray",
    "struct",
    // reserved
    "common", "partition", "active", "asm", "class", "union", "enum", "typedef", "template", "this", "packed",
    "goto", "inline", "noinline", "volatile", "public", "static", "extern", "external", "interface", "long",
    "short", "half", "fixed", "unsigned", "superp", "input", "output", "hvec2", "hvec3", "hvec4", "fvec2", "fvec3",
    "fvec4", "sampler3DRect", "filter", "image1D", "image2D", "image3D", "imageCube", "iimage1D", "iimage2D",
    "iimage3D", "iimageCube", "uimage1D", "uimage2D", "uimage3D", "uimageCube", "image1DArray", "image2DArray",
    "iimage1DArray", "iimage2DArray", "uimage1DArray", "uimage2DArray", "image1DShadow", "image2DShadow",
    "image1DArrayShadow", "image2DArrayShadow", "imageBuffer", "iimageBuffer", "uimageBuffer", "sizeof", "cast",
    "namespace", "using", "row_major"};

// GLSL 4.10's built-in functions: a uniform of one's name hides it, and the
// shader's every call of it then fails.
const std::set<std::string> kFunctions = {
    "radians", "degrees", "sin", "cos", "tan", "asin", "acos", "atan", "sinh", "cosh", "tanh", "asinh", "acosh",
    "atanh", "pow", "exp", "log", "exp2", "log2", "sqrt", "inversesqrt", "abs", "sign", "floor", "trunc", "round",
    "roundEven", "ceil", "fract", "mod", "modf", "min", "max", "clamp", "mix", "step", "smoothstep", "isnan",
    "isinf", "floatBitsToInt", "floatBitsToUint", "intBitsToFloat", "uintBitsToFloat", "fma", "frexp", "ldexp",
    "packUnorm2x16", "packSnorm2x16", "packUnorm4x8", "packSnorm4x8", "unpackUnorm2x16", "unpackSnorm2x16",
    "unpackUnorm4x8", "unpackSnorm4x8", "packDouble2x32", "unpackDouble2x32", "packHalf2x16", "unpackHalf2x16",
    "length", "distance", "dot", "cross", "normalize", "faceforward", "reflect", "refract", "matrixCompMult",
    "outerProduct", "transpose", "determinant", "inverse", "lessThan", "lessThanEqual", "greaterThan",
    "greaterThanEqual", "equal", "notEqual", "any", "all", "not", "uaddCarry", "usubBorrow", "umulExtended",
    "imulExtended", "bitfieldExtract", "bitfieldInsert", "bitfieldReverse", "bitCount", "findLSB", "findMSB",
    "textureSize", "textureQueryLod", "texture", "textureProj", "textureLod", "textureOffset", "texelFetch",
    "texelFetchOffset", "textureProjOffset", "textureLodOffset", "textureProjLod", "textureProjLodOffset",
    "textureGrad", "textureGradOffset", "textureProjGrad", "textureProjGradOffset", "textureGather",
    "textureGatherOffset", "textureGatherOffsets", "dFdx", "dFdy", "fwidth", "interpolateAtCentroid",
    "interpolateAtSample", "interpolateAtOffset", "noise1", "noise2", "noise3", "noise4", "EmitStreamVertex",
    "EndStreamPrimitive", "EmitVertex", "EndPrimitive", "barrier"};

// What the kit declares before a plugin's code, for every plugin and by type.
const std::set<std::string> kKitNames = {"fragColor", "resolution", "time", "deltaTime", "frame", "bpm", "phase",
                                         "main"};
const std::set<std::string> kEffectNames = {"i_uv", "inputTexture", "maxUV"};
const std::set<std::string> kMixerNames = {"textureDest", "textureSrc", "i_uv_dest", "i_uv_src", "maxUVDest",
                                           "maxUVSrc"};
const std::set<std::string> kSourceNames = {"i_uv"};

// clang-format on

bool identifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
}

// The members of a colour group after its first are not declared: the group
// is one vec3 or vec4 under the first member's name. Buffers (audio) are not
// declared at all.
bool declared(uint32_t type) {
    switch (type) {
        case FF_TYPE_GREEN:
        case FF_TYPE_BLUE:
        case FF_TYPE_SATURATION:
        case FF_TYPE_BRIGHTNESS:
        case FF_TYPE_ALPHA:
        case FF_TYPE_BUFFER: return false;
        default: return true;
    }
}

std::string problem(const ModuleInfo& info, const ParamDesc& p, const std::string& firstHolder) {
    const std::string& n = p.name;
    if (!identifier(n)) return "is not a GLSL identifier (letters, digits and _, not starting with a digit)";
    if (kKeywords.count(n)) return "is a GLSL keyword";
    if (n.compare(0, 3, "gl_") == 0) return "starts with gl_, which GLSL keeps for itself";
    const std::set<std::string>& typed = info.type == FF_MIXER    ? kMixerNames
                                         : info.type == FF_SOURCE ? kSourceNames
                                                                  : kEffectNames;
    if (kKitNames.count(n) || typed.count(n)) return "is one of the kit's own names";
    if (!firstHolder.empty()) return "is the name of " + firstHolder + " too";
    if (kFunctions.count(n)) return "hides GLSL's function " + n + "()";
    return "";
}

}  // namespace

std::string UniformNameHint(const ModuleInfo& info) {
    std::string found;
    for (const ParamDesc& p : info.params) {
        if (!declared(p.type)) continue;
        std::string holder;
        for (const ParamDesc& q : info.params)
            if (q.index < p.index && declared(q.type) && q.name == p.name) {
                holder = "parameter " + std::to_string(q.index);
                break;
            }
        const std::string why = problem(info, p, holder);
        if (why.empty()) continue;
        found += (found.empty() ? "" : "; ") + std::string("parameter ") + std::to_string(p.index) + " '" + p.name +
                 "' " + why;
    }
    if (found.empty()) return "";
    return "hint: a module made with the Tessivar kit declares each parameter as a GLSL uniform of its name, "
           "and " +
           found;
}

}  // namespace tessivar
