#include "effect/CornerPin.h"

#include "effect/AlphaBounds.h"
#include "effect/GuideRegions.h"
#include "effect/Homography.h"
#include "effect/HostTarget.h"
#include "effect/WarpRegion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace ffglex;

namespace {

enum : unsigned int {
    kPoint1X = 0,
    kPoint4Y = 7,
    kShowGuides = 8,
    kAutoBounds = 9,
    kInputAspect = 10,
};

// Default corners in parameter order: the input shown unchanged. Also the
// reset value of a refit and the test for points nobody has moved.
const float kDefaultCorners[8] = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};

const char* const kPointNames[8] = {"Point 1 X", "Point 1 Y", "Point 2 X", "Point 2 Y",
                                    "Point 3 X", "Point 3 Y", "Point 4 X", "Point 4 Y"};

constexpr float kMinInputAspect = 0.1f;
constexpr float kMaxInputAspect = 4.0f;

constexpr GLsizei kAnalysisSize = 256;
constexpr int kOpaqueThreshold = 12;         // red byte above this counts as opaque
constexpr float kWholeFrame = 0.98f;         // a detection this large is the whole frame
constexpr uint32_t kMaxDetectAttempts = 30;  // then fall back to the aspect fit
constexpr double kSameAspect = 0.001;

bool isOn(float value) { return value >= 0.5f; }

float clampTo(float value, float lo, float hi) { return value < lo ? lo : (value > hi ? hi : value); }

// All three programs share this vertex stage. With the unflipped quad
// canvasUV runs from (0, 0) at the top-left of the viewport to (1, 1) at the
// bottom-right, the convention of the corner points.
//
// The warp programs (built with WARP) also get the source position in
// homogeneous form, InverseHomography * (canvasUV, 1). It is affine across
// the quad, so interpolating it gives each pixel what the product would give
// there, without a matrix product per pixel on a software renderer.
const char VertexShader[] = R"GLSL(#version 410 core
layout(location = 0) in vec4 vPosition;
layout(location = 1) in vec2 vUV;
out vec2 canvasUV;
#ifdef WARP
uniform mat3 InverseHomography;
out vec3 projected;
#endif
void main()
{
    gl_Position = vPosition;
    canvasUV = vec2(vUV.x, 1.0 - vUV.y);
#ifdef WARP
    projected = InverseHomography * vec3(canvasUV, 1.0);
#endif
}
)GLSL";

// Texture coordinate of a source position (0..1, bottom-up). MaxUV limits the
// lookup to the used part of a larger texture, and the clamp keeps linear
// filtering half a texel inside it, so the padding never bleeds into a pixel.
#define TESSIVAR_INPUT_COORD \
    "vec2 inputCoord(vec2 uv)\n" \
    "{\n" \
    "    vec2 halfTexel = 0.5 / vec2(textureSize(InputTexture, 0));\n" \
    "    return clamp(uv * MaxUV, halfTexel, MaxUV - halfTexel);\n" \
    "}\n"

const char FragmentShader[] =
    "#version 410 core\n"
    "uniform sampler2D InputTexture;\n"
    "uniform vec2 MaxUV;\n" TESSIVAR_INPUT_COORD R"GLSL(
uniform vec2 SourceMin;
uniform vec2 SourceMax;
in vec2 canvasUV;
in vec3 projected;  // InverseHomography * (canvasUV, 1), from the vertex stage
out vec4 fragColor;

// The guides, compiled out of the warp-only program (WARP_ONLY): a renderer
// that cannot skip a branch would otherwise pay for them in every pixel.
#ifndef WARP_ONLY
uniform vec2 Resolution;
uniform vec2 Corner1;
uniform vec2 Corner2;
uniform vec2 Corner3;
uniform vec2 Corner4;
uniform bool ShowGuides;

// Distance from p to the segment ab. A segment of length zero (a label that
// sits on its point) is measured as the point itself, never as 0 / 0.
float segmentDistance(vec2 p, vec2 a, vec2 b)
{
    vec2 pa = p - a;
    vec2 ba = b - a;
    float lengthSquared = dot(ba, ba);
    float t = lengthSquared > 0.0 ? clamp(dot(pa, ba) / lengthSquared, 0.0, 1.0) : 0.0;
    return length(pa - ba * t);
}

// Distance to the strokes of a digit centred at the origin, in pixels, y down.
float digitDistance(vec2 p, int digit)
{
    const vec2 tl = vec2(-8.0, -12.0);
    const vec2 tr = vec2(8.0, -12.0);
    const vec2 ml = vec2(-8.0, 0.0);
    const vec2 mr = vec2(8.0, 0.0);
    const vec2 bl = vec2(-8.0, 12.0);
    const vec2 br = vec2(8.0, 12.0);
    float d = 1000.0;
    if (digit == 1) {
        d = min(d, segmentDistance(p, vec2(0.0, -12.0), vec2(0.0, 12.0)));
        d = min(d, segmentDistance(p, vec2(-5.0, -7.5), vec2(0.0, -12.0)));
    } else if (digit == 2) {
        d = min(d, segmentDistance(p, tl, tr));
        d = min(d, segmentDistance(p, tr, mr));
        d = min(d, segmentDistance(p, ml, mr));
        d = min(d, segmentDistance(p, ml, bl));
        d = min(d, segmentDistance(p, bl, br));
    } else if (digit == 3) {
        d = min(d, segmentDistance(p, tl, tr));
        d = min(d, segmentDistance(p, tr, br));
        d = min(d, segmentDistance(p, ml, mr));
        d = min(d, segmentDistance(p, bl, br));
    } else {
        d = min(d, segmentDistance(p, tl, ml));
        d = min(d, segmentDistance(p, tr, br));
        d = min(d, segmentDistance(p, ml, mr));
    }
    return d;
}

// A straight colour with coverage alpha over a premultiplied base.
vec4 compositeStraight(vec4 base, vec3 rgb, float alpha)
{
    return vec4(rgb * alpha, alpha) + base * (1.0 - alpha);
}

// LABEL_INSET and MARKER_REACH come from effect/GuideRegions.h, which finds
// the pixels the markers can reach by them.
vec4 drawMarker(vec4 base, vec2 pixel, vec2 pointUV, vec4 colour, int number)
{
    vec2 point = pointUV * Resolution;
    // The bubble is pulled at least LABEL_INSET pixels inside every edge.
    vec2 label = clamp(point, vec2(LABEL_INSET), Resolution - vec2(LABEL_INSET));

    float connector = 1.0 - smoothstep(1.2, 2.2, segmentDistance(pixel, point, label));
    float anchor = 1.0 - smoothstep(5.0, 6.5, length(pixel - point));
    float bubble = 1.0 - smoothstep(MARKER_REACH - 2.0, MARKER_REACH, length(pixel - label));
    float ring = smoothstep(21.5, 23.0, length(pixel - label)) * bubble;

    vec4 result = compositeStraight(base, colour.rgb, connector * colour.a * 0.75);
    result = compositeStraight(result, colour.rgb, anchor * colour.a);
    result = compositeStraight(result, colour.rgb, bubble * colour.a * 0.96);
    result = compositeStraight(result, vec3(1.0), ring * 0.8);

    float mask = 1.0 - smoothstep(2.3, 3.5, digitDistance(pixel - label, number));
    float luminance = dot(colour.rgb, vec3(0.299, 0.587, 0.114));
    vec3 ink = luminance > 0.58 ? vec3(0.02) : vec3(1.0);
    return compositeStraight(result, ink, mask);
}
#endif

void main()
{
#ifdef WARP_ONLY
    // Built for llvmpipe alone, which runs both sides of a branch for every
    // pixel anyway and samples faster outside one: sample everywhere, keep
    // the sample inside the quadrilateral. The same bytes as below.
    vec2 sourceUV = projected.xy / projected.z;
#ifdef WHOLE_INPUT
    // No crop and no padding: mix(0, 1, t) is t and MaxUV is 1, exactly, so
    // this is the coordinate below without the steps that change nothing.
    vec2 halfTexel = 0.5 / vec2(textureSize(InputTexture, 0));
    vec2 coord = clamp(vec2(sourceUV.x, 1.0 - sourceUV.y), halfTexel, 1.0 - halfTexel);
#else
    vec2 croppedUV = mix(SourceMin, SourceMax, sourceUV);
    vec2 coord = inputCoord(vec2(croppedUV.x, 1.0 - croppedUV.y));
#endif
    vec4 sampled = texture(InputTexture, coord);
    bool inside = abs(projected.z) >= 1e-7 && sourceUV.x >= 0.0 && sourceUV.x <= 1.0 && sourceUV.y >= 0.0 &&
                  sourceUV.y <= 1.0;
    vec4 colour = inside ? sampled : vec4(0.0);
#else
    vec4 colour = vec4(0.0);
    if (abs(projected.z) >= 1e-7) {
        vec2 sourceUV = projected.xy / projected.z;
        if (sourceUV.x >= 0.0 && sourceUV.x <= 1.0 && sourceUV.y >= 0.0 && sourceUV.y <= 1.0) {
            vec2 croppedUV = mix(SourceMin, SourceMax, sourceUV);
            colour = texture(InputTexture, inputCoord(vec2(croppedUV.x, 1.0 - croppedUV.y)));
        }
    }
#endif
#ifndef WARP_ONLY
    if (ShowGuides) {
        vec2 pixel = canvasUV * Resolution;
        colour = drawMarker(colour, pixel, Corner1, vec4(1.000, 0.231, 0.188, 1.0), 1);
        colour = drawMarker(colour, pixel, Corner2, vec4(0.204, 0.780, 0.349, 1.0), 2);
        colour = drawMarker(colour, pixel, Corner3, vec4(0.039, 0.518, 1.000, 1.0), 3);
        colour = drawMarker(colour, pixel, Corner4, vec4(1.000, 0.839, 0.039, 1.0), 4);
    }
#endif
    fragColor = colour;
}
)GLSL";

// Resamples the input's alpha over the 256 x 256 analysis target, bottom row
// first, so the CPU can find the opaque region.
const char AnalysisFragmentShader[] =
    "#version 410 core\n"
    "uniform sampler2D InputTexture;\n"
    "uniform vec2 MaxUV;\n" TESSIVAR_INPUT_COORD R"GLSL(
in vec2 canvasUV;
out vec4 fragColor;
void main()
{
    float alpha = texture(InputTexture, inputCoord(vec2(canvasUV.x, 1.0 - canvasUV.y))).a;
    fragColor = vec4(alpha, alpha, alpha, 1.0);
}
)GLSL";

#undef TESSIVAR_INPUT_COORD

// A shader source with a preprocessor switch defined (to `value`, if any);
// the switch must follow the version line, so it is spliced in after it.
std::string withSwitch(const std::string& source, const std::string& name, const std::string& value = "") {
    const size_t afterVersion = source.find('\n') + 1;
    return source.substr(0, afterVersion) + "#define " + name + (value.empty() ? "" : " " + value) + "\n" +
           source.substr(afterVersion);
}

// A GLSL float literal: the shortest digits that give `v` back, with a point.
std::string glslFloat(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v);
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos) literal += ".0";
    return literal;
}

// The warp-and-guides source with the markers' reaches defined as the CPU's
// regions take them.
std::string warpFragmentSource() {
    const std::string withInset = withSwitch(FragmentShader, "LABEL_INSET", glslFloat(tessivar::kLabelInset));
    return withSwitch(withInset, "MARKER_REACH", glslFloat(tessivar::kMarkerReach));
}

// Renderers that evaluate every branch of a shader for every pixel, where the
// split passes pay off. The byte-for-byte comparison of the split passes with
// the one-program path runs on llvmpipe; no other renderer is vouched for.
bool isSplitRenderer() {
    const GLubyte* renderer = glGetString(GL_RENDERER);
    return renderer && std::strstr(reinterpret_cast<const char*>(renderer), "llvmpipe") != nullptr;
}

void setMaxUV(FFGLShader& shader, const FFGLTextureStruct& input) {
    shader.Set("MaxUV", float(input.Width) / float(input.HardwareWidth),
               float(input.Height) / float(input.HardwareHeight));
}

// The client-side pack state that decides where glReadPixels writes. A host
// may leave any of it set; the read-back needs tightly packed rows in client
// memory, so it is forced for the read and put back afterwards.
class ScopedTightPacking {
public:
    ScopedTightPacking() {
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_PACK_SKIP_ROWS, &skipRows);
        glGetIntegerv(GL_PACK_SKIP_PIXELS, &skipPixels);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    }
    ~ScopedTightPacking() {
        glPixelStorei(GL_PACK_SKIP_PIXELS, skipPixels);
        glPixelStorei(GL_PACK_SKIP_ROWS, skipRows);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, GLuint(packBuffer));
    }
    ScopedTightPacking(const ScopedTightPacking&) = delete;
    ScopedTightPacking& operator=(const ScopedTightPacking&) = delete;

private:
    GLint packBuffer = 0, alignment = 4, rowLength = 0, skipRows = 0, skipPixels = 0;
};

// The host state the analysis pass switches off and puts back when its scope
// ends, after the inner bindings have ended theirs: the viewport, blending
// and the scissor test of viewport 0. The target is never cleared, so the
// quad must overwrite every pixel: no blending and no host scissor box. As
// in the split passes, other viewports keep their scissor tests.
class ScopedAnalysisState {
public:
    ScopedAnalysisState()
        : blend(glIsEnabled(GL_BLEND) == GL_TRUE), scissor(glIsEnabledi(GL_SCISSOR_TEST, 0) == GL_TRUE) {
        glGetIntegerv(GL_VIEWPORT, viewport);
        glDisable(GL_BLEND);
        glDisablei(GL_SCISSOR_TEST, 0);
    }
    ~ScopedAnalysisState() {
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        if (blend) glEnable(GL_BLEND);
        if (scissor) glEnablei(GL_SCISSOR_TEST, 0);
    }
    ScopedAnalysisState(const ScopedAnalysisState&) = delete;
    ScopedAnalysisState& operator=(const ScopedAnalysisState&) = delete;

private:
    GLint viewport[4] = {0, 0, 0, 0};
    const bool blend, scissor;
};

}  // namespace

CornerPin::CornerPin()
    : CFFGLPlugin(false),
      paramValues{},
      sourceMin{0.0f, 0.0f},
      sourceMax{1.0f, 1.0f},
      fittedRect{0.0f, 0.0f, 1.0f, 1.0f},
      pointsFitted(false),
      fitPending(true),
      detectAttempts(0),
      splitRenderer(false),
      splitPassesAllowed(true),
      fittedAreaAllowed(true),
      analysisFBO(0),
      analysisTexture(0) {
    SetMinInputs(1);
    SetMaxInputs(1);

    std::copy(kDefaultCorners, kDefaultCorners + 8, paramValues);
    paramValues[kShowGuides] = 1.0f;
    paramValues[kAutoBounds] = 1.0f;
    paramValues[kInputAspect] = 1.0f;

    for (unsigned int i = kPoint1X; i <= kPoint4Y; ++i)
        SetParamInfo(i, kPointNames[i], FF_TYPE_STANDARD, paramValues[i]);
    SetParamInfo(kShowGuides, "Show Guides", FF_TYPE_BOOLEAN, true);
    SetParamInfo(kAutoBounds, "Auto Bounds", FF_TYPE_BOOLEAN, true);
    SetParamInfo(kInputAspect, "Input Aspect", FF_TYPE_STANDARD, 1.0f);
    SetParamRange(kInputAspect, kMinInputAspect, kMaxInputAspect);
}

CornerPin::~CornerPin() = default;

FFResult CornerPin::InitGL(const FFGLViewportStruct* viewport) {
    if (!ffglex::LoadGLEntryPoints()) return FF_FAIL;
    const std::string warpVertexShader = withSwitch(VertexShader, "WARP");
    const std::string warpFragmentShader = warpFragmentSource();
    if (!viewport || !warpShader.Compile(warpVertexShader, warpFragmentShader) ||
        !analysisShader.Compile(VertexShader, AnalysisFragmentShader) || !quad.Initialise(false)) {
        ReleaseGL();
        return FF_FAIL;
    }
    splitRenderer = isSplitRenderer();
    const std::string warpOnly = withSwitch(warpFragmentShader, "WARP_ONLY");
    if (splitRenderer && (!warpOnlyShader.Compile(warpVertexShader, warpOnly) ||
                          !warpWholeShader.Compile(warpVertexShader, withSwitch(warpOnly, "WHOLE_INPUT")))) {
        ReleaseGL();
        return FF_FAIL;
    }

    glGenTextures(1, &analysisTexture);
    {
        Scoped2DTextureBinding texture(analysisTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kAnalysisSize, kAnalysisSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }

    glGenFramebuffers(1, &analysisFBO);
    GLenum status = 0;
    {
        ScopedFBOBinding fbo(analysisFBO, ScopedFBOBinding::RestorePrevious);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, analysisTexture, 0);
        status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    }
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        ReleaseGL();
        return FF_FAIL;
    }

    currentViewport = *viewport;
    return FF_SUCCESS;
}

FFResult CornerPin::DeInitGL() {
    ReleaseGL();
    return FF_SUCCESS;
}

void CornerPin::ReleaseGL() {
    warpShader.FreeGLResources();
    warpOnlyShader.FreeGLResources();
    warpWholeShader.FreeGLResources();
    analysisShader.FreeGLResources();
    splitRenderer = false;
    quad.Release();
    if (analysisFBO != 0) glDeleteFramebuffers(1, &analysisFBO);
    if (analysisTexture != 0) glDeleteTextures(1, &analysisTexture);
    analysisFBO = 0;
    analysisTexture = 0;
}

FFResult CornerPin::SetFloatParameter(unsigned int index, float value) {
    // NaN has no place in any range: clamping cannot mend it, and one NaN
    // point would reach every pixel of the guides.
    if (index >= kParamCount || std::isnan(value)) return FF_FAIL;

    if (index <= kPoint4Y) {
        // A host that writes a point's default back after an auto-fit (say,
        // when it restores a preset) keeps the fitted position.
        if (pointsFitted && std::fabs(value - kDefaultCorners[index]) < 1e-6f) {
            static const int kEdgeOfIndex[8] = {0, 1, 2, 1, 2, 3, 0, 3};
            value = fittedRect[kEdgeOfIndex[index]];
        }
        paramValues[index] = clampTo(value, 0.0f, 1.0f);
        return FF_SUCCESS;
    }
    if (index == kShowGuides) {
        paramValues[index] = clampTo(value, 0.0f, 1.0f);
        return FF_SUCCESS;
    }

    const float previous = paramValues[index];
    paramValues[index] =
        index == kAutoBounds ? clampTo(value, 0.0f, 1.0f) : clampTo(value, kMinInputAspect, kMaxInputAspect);
    if (std::fabs(paramValues[index] - previous) > 1e-6f) RequestRefit();
    return FF_SUCCESS;
}

void CornerPin::RequestRefit() {
    // The reset points raise no events: the fit raises one per point when it
    // places them on the next frame.
    std::copy(kDefaultCorners, kDefaultCorners + 8, paramValues);
    detectAttempts = 0;
    pointsFitted = false;
    fitPending = true;
    CropSource({0.0f, 0.0f, 1.0f, 1.0f});
}

float CornerPin::GetFloatParameter(unsigned int index) { return index < kParamCount ? paramValues[index] : 0.0f; }

bool CornerPin::CalculateInverseHomography(float* out) const { return tessivar::InverseHomography(paramValues, out); }

FFResult CornerPin::ProcessOpenGL(ProcessOpenGLStruct* pGL) {
    if (!pGL || pGL->numInputTextures == 0 || !pGL->inputTextures || !pGL->inputTextures[0]) return FF_FAIL;
    const FFGLTextureStruct& input = *pGL->inputTextures[0];

    FitPointsToInput(input);

    float inverse[9];
    if (!CalculateInverseHomography(inverse)) std::fill(inverse, inverse + 9, 0.0f);

    ScopedShaderBinding program(warpShader.GetGLID());
    ScopedSamplerActivation unit(0);
    Scoped2DTextureBinding texture(input.Handle);
    DrawFrame(input, inverse, isOn(paramValues[kShowGuides]));
    return FF_SUCCESS;
}

bool CornerPin::UsesSplitPasses() const { return splitRenderer && splitPassesAllowed && warpOnlyShader.IsReady(); }

// Every uniform the program declares, and no other.
void CornerPin::SendUniforms(const WarpProgram& program, const FFGLTextureStruct& input, const float* inverse) {
    FFGLShader& shader = program.shader;
    shader.Set("InputTexture", 0);
    if (program.crop) {
        setMaxUV(shader, input);
        shader.Set("SourceMin", sourceMin[0], sourceMin[1]);
        shader.Set("SourceMax", sourceMax[0], sourceMax[1]);
    }
    if (program.guides) shader.Set("Resolution", float(currentViewport.width), float(currentViewport.height));
    glUniformMatrix3fv(shader.FindUniform("InverseHomography"), 1, GL_FALSE, inverse);
    if (program.guides) SendGuideUniforms();
}

void CornerPin::SendGuideUniforms() {
    warpShader.Set("Corner1", paramValues[0], paramValues[1]);
    warpShader.Set("Corner2", paramValues[2], paramValues[3]);
    warpShader.Set("Corner3", paramValues[4], paramValues[5]);
    warpShader.Set("Corner4", paramValues[6], paramValues[7]);
    warpShader.Set("ShowGuides", isOn(paramValues[kShowGuides]) ? 1 : 0);
}

// The frame as scissored draws of the quad: the pieces around the markers
// with the full program, the rest with the warp-only program (the full one
// where split passes are off), and of the rest only the bands the warp can
// reach when the host's state lets the other pixels be cleared or kept.
// Only the scissor state of viewport 0, the one the quad is drawn through,
// is touched, and put back afterwards; a host using several viewports keeps
// the others.
void CornerPin::DrawFrame(const FFGLTextureStruct& input, const float* inverse, bool guides) {
    const bool split = UsesSplitPasses();
    const bool wholeInput = sourceMin[0] == 0.0f && sourceMin[1] == 0.0f && sourceMax[0] == 1.0f &&
                            sourceMax[1] == 1.0f && input.Width == input.HardwareWidth &&
                            input.Height == input.HardwareHeight;
    // For the pieces no marker reaches.
    const WarpProgram plain = !split       ? FullProgram()
                              : wholeInput ? WarpProgram{warpWholeShader, false, false}
                                           : WarpProgram{warpOnlyShader, true, false};
    const tessivar::HostTarget target = tessivar::HostTarget::Read();
    const bool fitted = fittedAreaAllowed && target.outside != tessivar::HostTarget::Outside::Draw;
    if (!fitted && !(split && guides)) {
        glUseProgram(plain.shader.GetGLID());
        SendUniforms(plain, input, inverse);
        quad.Draw();
        return;
    }
    const tessivar::PixelRect& area = target.area;
    if (area.Empty()) return;  // the host's scissor box leaves nothing to draw

    tessivar::SplitPlan plan;
    PlanPieces(area, target.viewport, guides, plan);
    if (!fitted || !tessivar::WarpCover(inverse, target.viewport, area, warpRects)) warpRects.assign(1, area);

    glEnablei(GL_SCISSOR_TEST, 0);
    if (fitted && target.outside == tessivar::HostTarget::Outside::Clear) {
        // Attachment 0 alone: the warp writes no other.
        static const GLfloat transparentBlack[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        glScissorIndexed(0, area.x0, area.y0, area.x1 - area.x0, area.y1 - area.y0);
        glClearBufferfv(GL_COLOR, 0, transparentBlack);
    }
    DrawPieces(plan, plain, input, inverse);
    const int* box = target.scissorBox;
    glScissorIndexed(0, box[0], box[1], box[2], box[3]);
    if (!target.scissor) glDisablei(GL_SCISSOR_TEST, 0);
}

// The plan's guide pieces whole with the full program, its other pieces
// where they meet warpRects with `plain`: each pixel drawn at most once, so
// the host's blending sees one fragment per pixel, as from one draw. Called
// with the scissor test of viewport 0 on.
void CornerPin::DrawPieces(const tessivar::SplitPlan& plan, const WarpProgram& plain, const FFGLTextureStruct& input,
                           const float* inverse) {
    for (const bool guidePieces : {false, true}) {
        const WarpProgram program = guidePieces ? FullProgram() : plain;
        bool ready = false;
        auto draw = [&](const tessivar::PixelRect& r) {
            if (r.Empty()) return;
            if (!ready) {
                glUseProgram(program.shader.GetGLID());
                SendUniforms(program, input, inverse);
                ready = true;
            }
            glScissorIndexed(0, r.x0, r.y0, r.x1 - r.x0, r.y1 - r.y0);
            quad.Draw();
        };
        for (int i = 0; i < plan.count; ++i) {
            if (plan.guides[i] != guidePieces) continue;
            const tessivar::PixelRect& piece = plan.pieces[i];
            if (guidePieces) {
                draw(piece);
                continue;
            }
            for (const tessivar::PixelRect& band : warpRects)
                draw({std::max(piece.x0, band.x0), std::max(piece.y0, band.y0), std::min(piece.x1, band.x1),
                      std::min(piece.y1, band.y1)});
        }
    }
}

// Pieces of `area` marked where the guides can paint; with guides off, or
// labels that do not fit, one piece without or with them.
void CornerPin::PlanPieces(const tessivar::PixelRect& area, const int* viewport, bool guides,
                           tessivar::SplitPlan& plan) {
    const float resolution[2] = {float(currentViewport.width), float(currentViewport.height)};
    tessivar::PixelRect markers[4] = {};
    if (!guides) {
        tessivar::SplitArea(area, markers, 0, plan);
    } else if (tessivar::MarkerRects(paramValues, resolution, viewport, markers)) {
        tessivar::SplitArea(area, markers, 4, plan);
    } else {
        plan.count = 1;
        plan.pieces[0] = area;
        plan.guides[0] = true;
    }
}

void CornerPin::FitPointsToInput(const FFGLTextureStruct& input) {
    if (!fitPending || input.Width == 0 || input.Height == 0 || currentViewport.width == 0 ||
        currentViewport.height == 0)
        return;

    // Points the host has already moved (a restored preset, say) stay put.
    for (int i = 0; i < 8; ++i) {
        if (std::fabs(paramValues[i] - kDefaultCorners[i]) > 1e-6f) {
            fitPending = false;
            return;
        }
    }

    const double inputAspect = double(input.Width) / double(input.Height);
    const double outputAspect = double(currentViewport.width) / double(currentViewport.height);
    const bool autoBounds = isOn(paramValues[kAutoBounds]);
    const bool sameShape = std::fabs(inputAspect - outputAspect) < kSameAspect;

    if (autoBounds && sameShape) {
        ++detectAttempts;
        float detected[4];
        if (DetectAlphaBounds(input, detected)) {
            const tessivar::NormRect found{detected[0], detected[1], detected[2], detected[3]};
            if (found.Width() < kWholeFrame || found.Height() < kWholeFrame) {
                // The visible part of the input becomes the source, and the
                // points frame exactly that part of the output.
                CropSource(found);
                SetFittedRectangle(found.left, found.top, found.right, found.bottom);
                fitPending = false;
                return;
            }
        } else if (detectAttempts < kMaxDetectAttempts) {
            return;  // an input fading in from transparent gets another chance
        }
    }

    const double aspect = autoBounds ? inputAspect : double(paramValues[kInputAspect]);
    const tessivar::NormRect rect = tessivar::AspectRect(aspect, outputAspect);
    // An input delivered in the output's shape is taken to carry a picture of
    // the "Input Aspect" ratio centred in it: that region becomes the source.
    if (!autoBounds && sameShape) CropSource(rect);
    SetFittedRectangle(rect.left, rect.top, rect.right, rect.bottom);
    fitPending = false;
}

void CornerPin::CropSource(const tessivar::NormRect& rect) {
    sourceMin[0] = rect.left;
    sourceMin[1] = rect.top;
    sourceMax[0] = rect.right;
    sourceMax[1] = rect.bottom;
}

bool CornerPin::DetectAlphaBounds(const FFGLTextureStruct& input, float* rect) {
    if (analysisFBO == 0 || analysisTexture == 0) return false;

    std::vector<uint8_t> pixels(size_t(kAnalysisSize) * kAnalysisSize * 4, 0);
    {
        ScopedAnalysisState state;
        ScopedFBOBinding fbo(analysisFBO, ScopedFBOBinding::RestorePrevious);
        glViewport(0, 0, kAnalysisSize, kAnalysisSize);
        ScopedShaderBinding program(analysisShader.GetGLID());
        ScopedSamplerActivation unit(0);
        Scoped2DTextureBinding texture(input.Handle);
        analysisShader.Set("InputTexture", 0);
        setMaxUV(analysisShader, input);
        quad.Draw();

        ScopedTightPacking packing;
        glReadPixels(0, 0, kAnalysisSize, kAnalysisSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }

    // Rows arrive bottom row first; the red byte carries the alpha sample.
    tessivar::OpaqueBox box;
    if (!tessivar::FindOpaqueBox(pixels.data(), kAnalysisSize, kAnalysisSize, kOpaqueThreshold, box)) return false;
    const tessivar::NormRect found = tessivar::BoxRect(box, kAnalysisSize, kAnalysisSize);
    rect[0] = found.left;
    rect[1] = found.top;
    rect[2] = found.right;
    rect[3] = found.bottom;
    return true;
}

void CornerPin::SetFittedRectangle(float left, float top, float right, float bottom) {
    fittedRect[0] = left;
    fittedRect[1] = top;
    fittedRect[2] = right;
    fittedRect[3] = bottom;
    pointsFitted = true;

    const float values[8] = {left, top, right, top, right, bottom, left, bottom};
    for (unsigned int i = kPoint1X; i <= kPoint4Y; ++i) {
        paramValues[i] = values[i];
        RaiseParamEvent(i, FF_EVENT_FLAG_VALUE);
    }
}
