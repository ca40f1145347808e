// PlanesToRgba -- a decoded picture into the plugin's input texture on the
// GL: each plane is uploaded as a one-channel texture as it lies in memory
// (8 or 16 bits a sample, no conversion on the CPU, fewer bytes than RGBA),
// and one shader pass converts them into an RGBA texture, rows bottom-up
// as FFGL textures hold them, turned upright as the clip's display matrix
// says. Chroma is interpolated bilinearly; a picture with an alpha plane
// keeps it.
//
//     PlanesToRgba in;
//     if (!in.Create(error)) ...
//     in.Convert(layout, planes, width, height, turns, texture, error);   // each frame
//
// Runs on the GL thread. Binds what it needs and unbinds it again (program,
// vertex array, textures, framebuffer: 0 afterwards).
#pragma once

#include "runner/media/gpu/GLProgram.h"
#include "runner/media/gpu/PixelLayout.h"

#include <map>
#include <memory>
#include <string>

namespace tessivar::gpu {

class PlanesToRgba {
public:
    PlanesToRgba() = default;
    ~PlanesToRgba();
    PlanesToRgba(const PlanesToRgba&) = delete;
    PlanesToRgba& operator=(const PlanesToRgba&) = delete;

    bool Create(std::string& error);
    void Release();

    // Draws the picture stored `width` x `height`, turned `turns` quarter
    // turns clockwise, into `texture` (RGBA8 or RGBA16, at least as large as
    // the upright picture, which fills its bottom-left corner). The planes
    // are read during the call only. False, with the reason, for a layout
    // it cannot take (a negative row stride, say).
    bool Convert(const PixelLayout& layout, const PlanePointers& planes, int width, int height, int turns,
                 unsigned texture, std::string& error);

private:
    bool Prepare(const PixelLayout& layout, int width, int height, std::string& error);
    void Upload(const PixelLayout& layout, const PlanePointers& planes, int width, int height) const;
    const GLProgram* ProgramFor(const PixelLayout& layout, int turns, std::string& error);
    void SetUniforms(const GLProgram& program, const PixelLayout& layout, int width, int height) const;

    std::map<int, std::unique_ptr<GLProgram>> programs;  // by variant, compiled when first needed
    unsigned planeTextures[4] = {0, 0, 0, 0};
    unsigned framebuffer = 0;
    PixelLayout current;
    int currentWidth = 0, currentHeight = 0;
};

}  // namespace tessivar::gpu
