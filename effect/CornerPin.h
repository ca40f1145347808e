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

private:
    void SendGuideUniforms();
    void FitPointsToInput(const FFGLTextureStruct& input);
    bool DetectAlphaBounds(const FFGLTextureStruct& input, float* rect);
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
    ffglex::FFGLScreenQuad quad;
    GLuint analysisFBO;
    GLuint analysisTexture;
};
