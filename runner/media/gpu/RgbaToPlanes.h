// RgbaToPlanes -- the plugin's output into the encoder's pixel format on the
// GL, read back without waiting for it.
//
// One shader pass packs the RGBA picture into the encoder's planes. Each
// fragment takes a block of pixels (8 wide, and as tall as a chroma sample
// covers), reads every pixel of it once, and writes the block's samples of
// every plane as whole bytes into integer targets, one per plane and block
// row: a software renderer shades a sixteenth of the pixels, and the
// read-back moves the planes' bytes, not RGBA's (1.5 bytes a pixel for
// 4:2:0 instead of 4). Chroma is the mean of the pixels a sample covers.
// For an encoder without alpha the picture is composited over black in the
// same pass; packed BGRA or RGBA is the same pass with one plane. Rows come
// out top row first, as the encoder wants them.
//
// The planes are read into one of `depth` pixel buffer objects with a
// fence; Collect waits for the oldest and copies it out. With depth 2 a GPU
// packs frame n while the CPU copies frame n - 1.
//
//     RgbaToPlanes out;
//     out.Create(layout, overBlack, width, height, 2, error);
//     out.Pack(texture);                          // after each frame
//     if (out.InFlight() == 2) out.Collect(frame, error);
//     while (out.InFlight()) out.Collect(frame, error);   // at the end
//
// Runs on the GL thread; leaves program, framebuffer, texture and pixel
// buffer bindings at 0.
#pragma once

#include "runner/media/gpu/GLProgram.h"
#include "runner/media/gpu/PixelLayout.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessivar::gpu {

class RgbaToPlanes {
public:
    RgbaToPlanes();
    ~RgbaToPlanes();
    RgbaToPlanes(const RgbaToPlanes&) = delete;
    RgbaToPlanes& operator=(const RgbaToPlanes&) = delete;

    // False, with the reason, for a layout it cannot make (packed formats
    // of more than 8 bits, chroma covering more than two rows).
    bool Create(const PixelLayout& layout, bool overBlack, int width, int height, int depth, std::string& error);
    void Release();

    // Packs the picture in `texture` (width x height in its bottom-left
    // corner, rows bottom-up) and starts reading it back. False when
    // `depth` frames are in flight already: Collect one first.
    bool Pack(unsigned texture);
    int InFlight() const { return inFlight; }
    // Waits for the oldest packed frame and copies its planes into
    // `planes`, whose rows must hold the layout's plane widths.
    bool Collect(const PlanePointers& planes, std::string& error);

    const PixelLayout& Layout() const { return layout; }

private:
    struct Plane;
    struct Target;
    struct Slot;
    bool MakeTargets(std::string& error);
    bool MakeProgram(std::string& error);
    std::string FragmentSource() const;

    PixelLayout layout;
    bool overBlack = false;
    int width = 0, height = 0;
    int blockWidth = 8, blockHeight = 1;  // pixels one fragment packs
    std::vector<Plane> planes;
    std::vector<Target> targets;
    GLProgram program;
    unsigned framebuffer = 0;
    std::vector<Slot> slots;
    size_t bufferBytes = 0;
    int oldest = 0, inFlight = 0;
};

}  // namespace tessivar::gpu
