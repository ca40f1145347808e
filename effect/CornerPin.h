// CornerPin -- the Tessivar effect: a four-corner perspective warp with
// numbered colour guides and an automatic first fit.
//
// Four points on the output canvas (0..1, origin top-left, y down) receive the
// input's top-left, top-right, bottom-right and bottom-left corners. Each frame
// the inverse homography is computed on the CPU (effect/Homography.h) and a
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
// Speed: a frame is drawn as the same full-viewport quad under scissor boxes,
// which change which pixels are drawn, never the values drawn. Where the
// host's state lets the pixels the warp leaves transparent be cleared or left
// alone (effect/HostTarget.h), they are: colour attachment 0 is cleared
// within the viewport, or not touched at all under premultiplied blending,
// and the quad is drawn only over bands that cover the quadrilateral
// (effect/WarpRegion.h) and around the markers. On llvmpipe, which evaluates
// every branch of a shader for every pixel, the frame is also split by
// program: the pieces no marker reaches are drawn by a program built from the
// same source with the guide code compiled out and the warp without a branch
// (a second one, for an uncropped and unpadded input, also leaves out the
// steps that change nothing then), the pieces around the markers
// (effect/GuideRegions.h) by the full one. The output is the same byte for
// byte as one full-screen draw with the full program.
//
// Host thread only, with the host's GL context current for InitGL, DeInitGL
// and ProcessOpenGL. Every pass puts back the host state it touches.
#pragma once

#include "effect/AlphaBounds.h"
#include "effect/GuideRegions.h"
#include "gl/FFGLToolkit.h"
#include "host/FFGLSDK.h"

#include <cstdint>
#include <vector>

class CornerPin : public CFFGLPlugin {
public:
    CornerPin();
    ~CornerPin() override;

    // Compiles the programs (the warp-only ones on llvmpipe alone), makes the
    // quad and the analysis target. On any failure releases everything it
    // made and answers FF_FAIL.
    FFResult InitGL(const FFGLViewportStruct* viewport) override;
    // Releases every GL object; harmless after a failed InitGL and when repeated.
    FFResult DeInitGL() override;
    // Indices 0..10; points and booleans clamp to 0..1, "Input Aspect" to
    // 0.1..4. A NaN value is refused (FF_FAIL) and changes nothing.
    FFResult SetFloatParameter(unsigned int index, float value) override;
    float GetFloatParameter(unsigned int index) override;
    // One frame: auto-fit, inverse homography, the warp-and-guides pass into
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

private:
    // The switches below, for the comparisons of tests and benchmarks alone
    // (tests/effect/CornerPinTestAccess.h).
    friend struct CornerPinTestAccess;
    // False forces the one-program path on every renderer.
    void AllowSplitPasses(bool allowed) { splitPassesAllowed = allowed; }
    // False draws the quad over the whole viewport whatever the host's
    // state, leaving nothing to a clear.
    void AllowFittedArea(bool allowed) { fittedAreaAllowed = allowed; }

    // A warp program and the uniforms it declares beyond the input, MaxUV
    // and the homography: the whole-input one has no crop (nor MaxUV), the
    // warp-only ones none of the guides'.
    struct WarpProgram {
        ffglex::FFGLShader& shader;
        bool crop;    // SourceMin, SourceMax and MaxUV
        bool guides;  // Resolution, the corners and ShowGuides
    };
    WarpProgram FullProgram() { return {warpShader, true, true}; }
    void SendUniforms(const WarpProgram& program, const FFGLTextureStruct& input, const float* inverse);
    void SendGuideUniforms();  // to warpShader, which must be bound
    void DrawFrame(const FFGLTextureStruct& input, const float* inverse, bool guides);
    void DrawPieces(const tessivar::SplitPlan& plan, const WarpProgram& plain, const FFGLTextureStruct& input,
                    const float* inverse);
    void PlanPieces(const tessivar::PixelRect& area, const int* viewport, bool guides, tessivar::SplitPlan& plan);
    void FitPointsToInput(const FFGLTextureStruct& input);
    void SetFittedRectangle(float left, float top, float right, float bottom);
    void RequestRefit();
    void CropSource(const tessivar::NormRect& rect);  // the part of the input shown
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
    ffglex::FFGLShader warpOnlyShader;   // llvmpipe: the warp shader without guide code
    ffglex::FFGLShader warpWholeShader;  // the same for an uncropped, unpadded input
    bool splitRenderer;                  // llvmpipe: split passes pay off and are verified
    bool splitPassesAllowed;
    bool fittedAreaAllowed;
    std::vector<tessivar::PixelRect> warpRects;  // kept between frames to spare the allocation
    ffglex::FFGLScreenQuad quad;
    GLuint analysisFBO;
    GLuint analysisTexture;
};
