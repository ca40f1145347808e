// GLFrame -- the host side of a frame: images, input textures, output targets
// and a snapshot of the GL state a host expects a plugin to leave alone.
//
// Images are RGBA, top row first (as PNG stores them), 8 bits a channel or,
// for deep video, 16; textures and targets take the image's depth (RGBA8 or
// RGBA16), as hosts give plugins deep textures. Textures follow the FFGL
// convention: the image sits in the bottom-left corner of a texture that
// may be larger ("hardware" size), rows bottom-up as GL stores them.
#pragma once

#include "host/FFGLABI.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessivar {

// The largest width or height of a picture the runner makes, reads or
// renders: GL 4.1 promises textures of 16384 texels a side at most.
constexpr uint32_t kMaxPictureSide = 16384;

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    int bits = 8;                  // per channel: 8 (in rgba) or 16 (in rgba16)
    std::vector<uint8_t> rgba;     // width * height * 4, top row first, at 8 bits
    std::vector<uint16_t> rgba16;  // the same at 16 bits

    Image() = default;
    Image(uint32_t w, uint32_t h, int depth = 8) : width(w), height(h), bits(depth) {
        if (bits == 16)
            rgba16.assign(size_t(w) * h * 4, 0);
        else
            rgba.assign(size_t(w) * h * 4, 0);
    }
    // A pixel of an 8-bit image.
    uint8_t* At(uint32_t x, uint32_t y) { return rgba.data() + (size_t(y) * width + x) * 4; }
    const uint8_t* At(uint32_t x, uint32_t y) const { return rgba.data() + (size_t(y) * width + x) * 4; }
    // The pixels at either depth, rows of RowBytes().
    void* Data() { return bits == 16 ? static_cast<void*>(rgba16.data()) : rgba.data(); }
    const void* Data() const { return bits == 16 ? static_cast<const void*>(rgba16.data()) : rgba.data(); }
    size_t RowBytes() const { return size_t(width) * 4 * size_t(bits / 8); }
};

// The image at 8 bits a channel, rounded to the nearest; a copy when it is already.
Image To8Bits(const Image& image);

// An input texture owned by the host. The padding outside the image is filled
// with `pad` so a plugin that samples beyond MaxUV shows it.
class InputTexture {
public:
    InputTexture() = default;
    ~InputTexture();
    InputTexture(const InputTexture&) = delete;
    InputTexture& operator=(const InputTexture&) = delete;
    InputTexture(InputTexture&& other) noexcept;
    InputTexture& operator=(InputTexture&& other) noexcept;

    // hardwareWidth/Height of 0 mean "the image size". Leaves texture 0 bound.
    bool Create(const Image& image, uint32_t hardwareWidth = 0, uint32_t hardwareHeight = 0,
                uint32_t padRGBA = 0xFF00FFFFu);
    // Replaces the image (same size and depth) without reallocating.
    void Upload(const Image& image);
    void Release();

    FFGLTextureStruct& Desc() { return desc; }
    const FFGLTextureStruct& Desc() const { return desc; }

private:
    FFGLTextureStruct desc{};
    int bits = 8;
};

// An RGBA8 or RGBA16 colour target the host renders the plugin's output into.
class RenderTarget {
public:
    RenderTarget() = default;
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    bool Create(uint32_t width, uint32_t height, int bits = 8);
    void Release();
    // Binds the target for drawing and reading and sets the viewport to it.
    void Bind() const;
    // Clears to the colour (straight floats) while bound; restores nothing.
    void Clear(float r = 0, float g = 0, float b = 0, float a = 0) const;
    // Reads the whole target back, top row first, at its depth. Binds the target for reading
    // and puts the previous read framebuffer back.
    Image Read() const;

    unsigned Framebuffer() const { return fbo; }
    unsigned Texture() const { return texture; }
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    int Bits() const { return bits; }

private:
    int bits = 8;
    unsigned fbo = 0;
    unsigned texture = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

// The host-visible GL state a plugin call must leave as it found it.
struct GLStateSnapshot {
    int drawFramebuffer = 0;
    int readFramebuffer = 0;
    int viewport[4] = {0, 0, 0, 0};
    bool blend = false;
    bool scissorTest = false;
    int scissorBox[4] = {0, 0, 0, 0};
    int program = 0;
    int activeTexture = 0;  // GL_TEXTUREi enum
    int texture2DUnit0 = 0;
    int vertexArray = 0;
    int arrayBuffer = 0;

    static GLStateSnapshot Capture();
    bool operator==(const GLStateSnapshot& o) const;  // field by field, without building a text
    bool operator!=(const GLStateSnapshot& o) const { return !(*this == o); }
    // Empty when equal; otherwise one line, "name: before -> after" per
    // difference: "viewport: 64 -> 1, scissor test: 0 -> 1".
    std::string Diff(const GLStateSnapshot& after) const;
};

// Counts GL errors queued since the last call and clears them.
unsigned DrainGLErrors();

// The host's GL state around one plugin call, as check, soak and the preview
// watch it: what the call changed, and the GL errors it left queued.
//
//     const GLStateWatch watch;   // drops the errors queued before it
//     instance.Process(inputs, fbo);
//     watch.Changed();            // "" or "viewport: 64 -> 1, scissor test: 0 -> 1"
//     watch.Errors();             // GL errors queued since, now cleared
class GLStateWatch {
public:
    GLStateWatch();
    std::string Changed() const;
    unsigned Errors() const { return DrainGLErrors(); }

private:
    GLStateSnapshot before;
};

}  // namespace tessivar
