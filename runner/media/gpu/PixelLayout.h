// PixelLayout -- how a video picture's samples lie in memory and what their
// numbers mean, in the terms the GL conversions need (no FFmpeg types):
// planar Y'CbCr with or without an alpha plane, 8 bits or more per sample
// (then 16-bit little-endian words, the value in the low bits), any chroma
// subsampling; planar RGB the same way (planes G, B, R and maybe A, as
// FFmpeg's gbrp formats hold them); or one plane of packed 8-bit RGBA / BGRA.
//
// The numbers: a matrix (BT.601, BT.709, BT.2020 non-constant luminance)
// and a range (limited: 16-235 luma, 16-240 chroma at 8 bits, scaled up
// for more; full: 0 to 2^bits - 1). Alpha is always full range. Chroma
// samples sit at the centre of the pixels they cover, as swscale places
// them by default.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tessivar::gpu {

enum class Matrix { BT601, BT709, BT2020 };

struct PixelLayout {
    enum class Kind { Yuv, Gbr, Rgba, Bgra };
    Kind kind = Kind::Yuv;
    int chromaShiftX = 1, chromaShiftY = 1;  // log2 of the subsampling: 1,1 is 4:2:0
    int bits = 8;                            // significant bits of a sample, 8 to 16
    bool alpha = false;                      // a fourth plane (planar layouts)
    Matrix matrix = Matrix::BT709;
    bool fullRange = false;

    bool Wide() const { return bits > 8; }
    bool Planar() const { return kind == Kind::Yuv || kind == Kind::Gbr; }
    bool Subsampled() const { return kind == Kind::Yuv && (chromaShiftX != 0 || chromaShiftY != 0); }
    // Bytes of one sample of a plane (a packed plane: of one pixel).
    int BytesPerSample() const { return Planar() ? (Wide() ? 2 : 1) : 4; }
    int Planes() const { return Planar() ? (alpha ? 4 : 3) : 1; }
    // The size of plane `i` in samples (a packed plane: in pixels).
    int PlaneWidth(int i, int width) const;
    int PlaneHeight(int i, int height) const;
    // "yuv420p10 bt709 limited", "gbrap16", for messages and the bench report.
    std::string Describe() const;
};

// Picture memory: up to four planes, each with its own row stride in bytes.
struct PlanePointers {
    std::array<uint8_t*, 4> data{};
    std::array<int, 4> linesize{};
};

// A picture in a layout's planes, held one plane after another with rows
// unpadded, and its time: what travels from the GL thread to the encoder.
struct PlanarPicture {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0;
    int64_t pts = 0;

    // Sizes `bytes` for the layout and answers where its planes lie.
    PlanePointers Allocate(const PixelLayout& layout, int w, int h);
    PlanePointers Pointers(const PixelLayout& layout);
    // The same for reading only (PlanePointers has no const form).
    PlanePointers Pointers(const PixelLayout& layout) const {
        return const_cast<PlanarPicture*>(this)->Pointers(layout);
    }
};

// The affine maps between a layout's sample values and Y'CbCr or R'G'B',
// as the shaders use them. Codes are samples as a texture returns them,
// divided by the largest value their storage holds (255 or 65535).
struct YuvCoefficients {
    // R'G'B' = toRgb * (code * scale + bias), column-major as GL takes it.
    std::array<float, 9> toRgb{};
    // Y'CbCr = toYuv * R'G'B', column-major.
    std::array<float, 9> toYuv{};
    // Code to Y', Cb', Cr' (Cb', Cr' centred on 0).
    std::array<float, 3> scale{}, bias{};
    // Alpha code to 0..1.
    float alphaScale = 1;
    // Y'CbCr back to sample values: value = yuv * valueScale + valueOffset,
    // rounded, then divided by storageMax for a normalized target.
    std::array<float, 3> valueScale{}, valueOffset{};
    float alphaMax = 255;    // the largest alpha value, 2^bits - 1
    float storageMax = 255;  // 255 or 65535
};

YuvCoefficients Coefficients(const PixelLayout& layout);

}  // namespace tessivar::gpu
