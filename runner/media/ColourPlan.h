// ColourPlan -- the colour and depth decisions for a clip on its way through
// the runner, in one place and free of GL and FFmpeg, so that every path that
// converts pictures (libswscale here, GL passes elsewhere) makes the same ones.
//
// Codes are those of ITU-T H.273, which FFmpeg's AVCOL_* values follow: a
// matrix of 0 means the pictures are RGB; 2 is "unspecified" everywhere.
// Ranges count as FFmpeg does: 0 unknown, 1 limited ("tv"), 2 full ("pc").
//
//     ColourTags as = ReadAs(tagged, rgb, 1920, 1080);        // what a player assumes
//     int work = WorkingBits(10);                              // 16: deep textures
//     Encoding e = ChooseEncoding(candidates, as, 10, fullRangeOk, 1920, 1080);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessivar {

struct ColourTags {
    static constexpr int kRgb = 0, kBt709 = 1, kUnspecified = 2, kBt470bg = 5, kSmpte170m = 6;
    static constexpr int kRangeUnknown = 0, kLimited = 1, kFull = 2;
    int matrix = kUnspecified;
    int primaries = kUnspecified;
    int transfer = kUnspecified;
    int range = kRangeUnknown;
    bool operator==(const ColourTags& o) const {
        return matrix == o.matrix && primaries == o.primaries && transfer == o.transfer && range == o.range;
    }
};

// The tags a clip is read with: what it says, and for what it leaves open
// what players assume: HD sizes (1280 wide or more, or over 576 lines) are
// BT.709, 576 lines BT.601 for 625-line systems, smaller ones for 525 lines;
// YUV is limited range, RGB full.
ColourTags ReadAs(ColourTags tagged, bool rgb, uint32_t width, uint32_t height);

// The bits per channel of the textures and framebuffers the plugin runs on:
// 8 for 8-bit pictures, 16 for anything deeper.
int WorkingBits(int sourceBits);

// A pixel format an encoder offers, described as much as the choice needs.
struct PixelFormat {
    std::string name;
    int bits = 8;  // per channel
    bool rgb = false;
    bool alpha = false;
};

struct Encoding {
    PixelFormat pixels;
    ColourTags colour;  // written on the stream and on every frame
    std::string note;   // what the output cannot keep, for one line; empty when it keeps all
};

// Picks among `candidates` (the container's formats that the encoder offers,
// in the container's order) the shallowest one that holds `sourceBits`, an
// alpha one before one without at the same depth; when none holds them, the
// deepest, and the note says how many bits are kept. The tags are the
// source's: RGB formats are tagged RGB and full range; YUV keeps the source's
// matrix (RGB sources get the one players assume for `width` x `height`) and
// its range, or limited where the encoder takes no full range (`fullRangeOk`
// false) or the source is RGB. Primaries and transfer are always the
// source's: pictures are never converted between them.
Encoding ChooseEncoding(const std::vector<PixelFormat>& candidates, const ColourTags& source, int sourceBits,
                        bool fullRangeOk, uint32_t width, uint32_t height);

}  // namespace tessivar
