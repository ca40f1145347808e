// CornerPin -- the Tessivar effect: a four-corner perspective warp with
// numbered colour guides and an automatic first fit.
//
// Four points on the output canvas (0..1, origin top-left, y down) receive the
// input's top-left, top-right, bottom-right and bottom-left corners. Each frame
// the inverse homography is computed on the CPU (effect/Homography.h) and one
// full-screen quad samples the input through it; outside the quadrilateral the
// output is transparent black. "Show Guides" paints a numbered marker per
// point on top.
//
// Auto-fit: while a fit is pending (a new instance, or "Auto Bounds" / "Input
// Aspect" changed) and the points still stand at their defaults, the first
// frame with a usable input and viewport moves them onto the rectangle the
// visible input occupies, and raises a parameter event (flag 2) for each point.
// With "Auto Bounds" on and an input of the output's shape, that rectangle is
// measured on the GPU from the input's alpha (a 256 x 256 pass read back once
// per frame, for at most 30 frames); otherwise it follows an aspect ratio.
//
// Speed on software renderers: a GPU skips the guide code when "Show Guides"
// is off, but llvmpipe evaluates every branch for every pixel. There the
// frame is drawn in split passes: with guides off, by a second program built
// from the same source with the guide code compiled out; with guides on, by
// that program everywhere except around the markers (effect/GuideRegions.h),
// where the full program draws under a scissor box. The output is the same
// byte for byte as one full-screen draw with the full program, which is what
// every other renderer gets.
//
// Host thread only, with the host's GL context current for InitGL, DeInitGL
// and ProcessOpenGL. Every pass puts back the host state it touches.
#pragma once

#include "gl/FFGLToolkit.h"
#include "host/FFGLSDK.h"

#include <cstdint>

class CornerPin : public CFFGLPlugin {
public:
    CornerPin();
    ~CornerPin() override;

    // Compiles both programs, makes the quad and the analysis target. On any
    // failure releases everything it made and answers FF_FAIL.
    FFResult InitGL(const FFGLViewportStruct* viewport) override;
    // Releases every GL object; harmless after a failed InitGL and when repeated.
    FFResult DeInitGL() override;
    // Indices 0..10; points and booleans clamp to 0..1, "Input Aspect" to
    // 0.1..4. A NaN value is refused (FF_FAIL) and changes nothing.
    FFResult SetFloatParameter(unsigned int index, float value) override;
    float GetFloatParameter(unsigned int index) override;
    // One frame: auto-fit, inverse homography, one warp-and-guides draw into
    // whatever framebuffer the host has bound.
    FFResult ProcessOpenGL(ProcessOpenGLStruct* pGL) override;

    // The inverse of the map from the unit square onto the four points, as
    // nine column-major floats. False (out untouched) for degenerate points.
    bool CalculateInverseHomography(float* out) const;

    // One analysis pass over the input: draw its alpha into the 256 x 256
    // target, read it back, find the opaque rectangle (left, top, right,
    // bottom). False, with `rect` untouched, when nothing is opaque or the
    // analysis target is missing. Restores the host state it changes.
    bool DetectAlphaBounds(const FFGLTextureStruct& input, float* rect);

    // Whether frames are drawn in split passes (see above): true after a
    // successful InitGL on llvmpipe unless split passes were disallowed.
    bool UsesSplitPasses() const;
    // For comparisons in tests and benchmarks: false forces the one-program
    // path on every renderer.
    void AllowSplitPasses(bool allowed) { splitPassesAllowed = allowed; }

private:
    void SendUniforms(ffglex::FFGLShader& shader, const FFGLTextureStruct& input, const float* inverse);
    void SendGuideUniforms();  // to warpShader, which must be bound
    void DrawSplit(const FFGLTextureStruct& input, const float* inverse);
    void FitPointsToInput(const FFGLTextureStruct& input);
    void SetFittedRectangle(float left, float top, float right, float bottom);
    void RequestRefit();
    void CropSource(const float* rect);  // left, top, right, bottom of the input
    void ReleaseGL();

    static constexpr unsigned int kParamCount = 11;

    float paramValues[kParamCount];
    float sourceMin[2];
    float sourceMax[2];
    float fittedRect[4];  // left, top, right, bottom
    bool pointsFitted;
    bool fitPending;
    uint32_t detectAttempts;
    ffglex::FFGLShader warpShader;
    ffglex::FFGLShader analysisShader;
    ffglex::FFGLShader warpOnlyShader;  // the warp shader without guide code
    bool splitRenderer;                 // llvmpipe: split passes pay off and are verified
    bool splitPassesAllowed;
    ffglex::FFGLScreenQuad quad;
    GLuint analysisFBO;
    GLuint analysisTexture;
};
