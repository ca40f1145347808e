#include "runner/media/gpu/PixelLayout.h"

namespace tessivar::gpu {

int PixelLayout::PlaneWidth(int i, int width) const {
    const bool chroma = kind == Kind::Yuv && (i == 1 || i == 2);
    return chroma ? (width + (1 << chromaShiftX) - 1) >> chromaShiftX : width;
}

int PixelLayout::PlaneHeight(int i, int height) const {
    const bool chroma = kind == Kind::Yuv && (i == 1 || i == 2);
    return chroma ? (height + (1 << chromaShiftY) - 1) >> chromaShiftY : height;
}

PlanePointers PlanarPicture::Pointers(const PixelLayout& layout) {
    PlanePointers p;
    size_t offset = 0;
    for (int i = 0; i < layout.Planes(); ++i) {
        p.data[size_t(i)] = bytes.data() + offset;
        p.linesize[size_t(i)] = layout.PlaneWidth(i, width) * layout.BytesPerSample();
        offset += size_t(p.linesize[size_t(i)]) * size_t(layout.PlaneHeight(i, height));
    }
    return p;
}

PlanePointers PlanarPicture::Allocate(const PixelLayout& layout, int w, int h) {
    width = w;
    height = h;
    size_t total = 0;
    for (int i = 0; i < layout.Planes(); ++i)
        total += size_t(layout.PlaneWidth(i, w)) * size_t(layout.BytesPerSample()) * size_t(layout.PlaneHeight(i, h));
    bytes.resize(total);
    return Pointers(layout);
}

std::string PixelLayout::Describe() const {
    if (kind == Kind::Rgba) return "rgba";
    if (kind == Kind::Bgra) return "bgra";
    if (kind == Kind::Gbr) return std::string(alpha ? "gbrap" : "gbrp") + (bits != 8 ? std::to_string(bits) : "");
    std::string text = alpha ? "yuva" : "yuv";
    text += chromaShiftX == 0 ? "444" : chromaShiftY == 0 ? "422" : "420";
    text += "p";
    if (bits != 8) text += std::to_string(bits);
    text += matrix == Matrix::BT601 ? " bt601" : matrix == Matrix::BT709 ? " bt709" : " bt2020";
    text += fullRange ? " full" : " limited";
    return text;
}

YuvCoefficients Coefficients(const PixelLayout& layout) {
    double kr = 0.2126, kb = 0.0722;  // BT.709
    if (layout.matrix == Matrix::BT601) kr = 0.299, kb = 0.114;
    if (layout.matrix == Matrix::BT2020) kr = 0.2627, kb = 0.0593;
    const double kg = 1.0 - kr - kb;

    YuvCoefficients c;
    c.toRgb = {1.0f,
               1.0f,
               1.0f,  // Y'
               0.0f,
               float(-2.0 * kb * (1.0 - kb) / kg),
               float(2.0 * (1.0 - kb)),  // Cb'
               float(2.0 * (1.0 - kr)),
               float(-2.0 * kr * (1.0 - kr) / kg),
               0.0f};  // Cr'
    c.toYuv = {float(kr),
               float(-kr / (2.0 * (1.0 - kb))),
               0.5f,  // R'
               float(kg),
               float(-kg / (2.0 * (1.0 - kb))),
               float(-kg / (2.0 * (1.0 - kr))),  // G'
               float(kb),
               0.5f,
               float(-kb / (2.0 * (1.0 - kr)))};  // B'

    const int bits = layout.Planar() ? layout.bits : 8;
    const double storage = layout.Wide() ? 65535.0 : 255.0;
    const double top = double((1 << bits) - 1);
    const double step = double(1 << (bits - 8));  // one 8-bit level in this depth
    const double half = double(1 << (bits - 1));
    double lumaSpan = top, chromaSpan = top, lumaFloor = 0;
    if (!layout.fullRange) {
        lumaSpan = 219.0 * step;
        chromaSpan = 224.0 * step;
        lumaFloor = 16.0 * step;
    }
    c.scale = {float(storage / lumaSpan), float(storage / chromaSpan), float(storage / chromaSpan)};
    c.bias = {float(-lumaFloor / lumaSpan), float(-half / chromaSpan), float(-half / chromaSpan)};
    c.valueScale = {float(lumaSpan), float(chromaSpan), float(chromaSpan)};
    c.valueOffset = {float(lumaFloor), float(half), float(half)};
    c.alphaScale = float(storage / top);
    c.alphaMax = float(top);
    c.storageMax = float(storage);
    if (layout.kind == PixelLayout::Kind::Gbr) {
        // Planes G, B, R, full range: the matrices only put them in order.
        c.toRgb = {0, 1, 0, 0, 0, 1, 1, 0, 0};
        c.toYuv = {0, 0, 1, 1, 0, 0, 0, 1, 0};
        c.scale = {float(storage / top), float(storage / top), float(storage / top)};
        c.bias = {0, 0, 0};
        c.valueScale = {float(top), float(top), float(top)};
        c.valueOffset = {0, 0, 0};
    }
    return c;
}

}  // namespace tessivar::gpu
