// The GL pixel conversions on the real (software) GL, against swscale's
// result on the same picture and against pictures whose right answer is
// known exactly.
//
// Pictures are sized so that a row is no multiple of the four samples a
// packed texel holds and (for input) chroma planes round up, with row
// strides wider than the rows, and smooth but saturated: a wrong matrix,
// range, depth, row order or stride is off by tens of levels.
//
// Tolerance against swscale: 3 levels at 8 bits (deep formats: their
// difference scaled to 8 bits) at worst, 0.75 on average in any one
// channel. swscale rounds in fixed point, filters chroma with its own
// kernels (wider than a box when it subsamples), puts vertical chroma half
// a pixel lower than the centre of the pixels a sample covers, where
// players (and the GL passes) put it, and makes limited-range deep green a
// quarter level darker than the matrix says; on these gradients that costs
// up to 2 levels. Where chroma sits is held exactly by its own test.
#include "runner/media/LibAv.h"
#include "runner/media/gpu/PlanesToRgba.h"
#include "runner/media/gpu/RgbaToPlanes.h"
#include "tests/support/GLTest.h"

#include "gl/GLIncludes.h"

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tessivar;
using gpu::Matrix;
using gpu::PixelLayout;

using libav::FramePtr;
using libav::SwsPtr;

FramePtr MakeFrame(AVPixelFormat format, int width, int height) {
    FramePtr f = libav::MakeFrame(format, width, height, 64);  // rows padded to 64 bytes
    EXPECT_TRUE(f);
    return f;
}

int depthOf(const AVFrame* f) { return av_pix_fmt_desc_get(AVPixelFormat(f->format))->comp[0].depth; }

int sample(const AVFrame* f, int plane, int x, int y) {
    const uint8_t* row = f->data[plane] + y * f->linesize[plane];
    return depthOf(f) > 8 ? reinterpret_cast<const uint16_t*>(row)[x] : row[x];
}
void setSample(AVFrame* f, int plane, int x, int y, int v) {
    uint8_t* row = f->data[plane] + y * f->linesize[plane];
    if (depthOf(f) > 8)
        reinterpret_cast<uint16_t*>(row)[x] = uint16_t(v);
    else
        row[x] = uint8_t(v);
}

// The layout the media layer gives the GL passes for `format`.
PixelLayout layoutOf(AVPixelFormat format, Matrix matrix, bool fullRange) {
    const int code = matrix == Matrix::BT601   ? AVCOL_SPC_SMPTE170M
                     : matrix == Matrix::BT709 ? AVCOL_SPC_BT709
                                               : AVCOL_SPC_BT2020_NCL;
    PixelLayout l;
    EXPECT_TRUE(tessivar::libav::GpuLayout(format, code, fullRange ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG, l))
        << av_get_pix_fmt_name(format);
    return l;
}

// swscale's conversion from `src` into `dst`, the Y'CbCr side with the
// given matrix and range.
void swsConvert(const AVFrame* src, AVFrame* dst, Matrix matrix, bool fullRange, int flags) {
    const SwsPtr owner(sws_getContext(src->width, src->height, AVPixelFormat(src->format), dst->width, dst->height,
                                      AVPixelFormat(dst->format), flags, nullptr, nullptr, nullptr));
    SwsContext* sws = owner.get();
    ASSERT_NE(sws, nullptr);
    const int* table = sws_getCoefficients(matrix == Matrix::BT601   ? SWS_CS_ITU601
                                           : matrix == Matrix::BT709 ? SWS_CS_ITU709
                                                                     : SWS_CS_BT2020);
    const bool srcYuv = !(av_pix_fmt_desc_get(AVPixelFormat(src->format))->flags & AV_PIX_FMT_FLAG_RGB);
    sws_setColorspaceDetails(sws, table, srcYuv ? fullRange : 1, table, srcYuv ? 1 : fullRange, 0, 1 << 16, 1 << 16);
    sws_scale(sws, src->data, src->linesize, 0, src->height, dst->data, dst->linesize);
}

// An RGBA8 or RGBA16 texture, filled and read top row first while GL
// keeps it bottom-up, as FFGL textures are.
struct Texture {
    GLuint name = 0;
    int width, height;
    bool deep;
    Texture(int w, int h, bool wide) : width(w), height(h), deep(wide) {
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, deep ? GL_RGBA16 : GL_RGBA8, w, h, 0, GL_RGBA,
                     deep ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);  // complete without mipmaps
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    ~Texture() { glDeleteTextures(1, &name); }
    void Fill(const AVFrame* rgba) const {
        glBindTexture(GL_TEXTURE_2D, name);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int y = 0; y < height; ++y)
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, height - 1 - y, width, 1, GL_RGBA,
                            deep ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE, rgba->data[0] + y * rgba->linesize[0]);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    // Channel values, top row first.
    std::vector<int> Read() const {
        GLuint fbo = 0;
        glGenFramebuffers(1, &fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0);
        const size_t row = size_t(width) * 4;
        std::vector<uint16_t> wide(row * size_t(height));
        std::vector<uint8_t> narrow(wide.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGBA, deep ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE,
                     deep ? static_cast<void*>(wide.data()) : static_cast<void*>(narrow.data()));
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &fbo);
        std::vector<int> topDown(wide.size());
        for (size_t y = 0; y < size_t(height); ++y)
            for (size_t i = 0; i < row; ++i) {
                const size_t from = (size_t(height) - 1 - y) * row + i;
                topDown[y * row + i] = deep ? wide[from] : narrow[from];
            }
        return topDown;
    }
};

// Differences in 8-bit levels, per plane or channel: a small error in one
// channel alone (a chroma scale, say) shows in its mean.
struct Difference {
    double worst = 0;
    std::array<double, 4> sum{};
    std::array<size_t, 4> count{};
    std::string where;
    void Add(double levels, int channel, const std::string& at) {
        sum[size_t(channel)] += levels;
        ++count[size_t(channel)];
        if (levels > worst) worst = levels, where = at;
    }
    // The largest mean of any one channel.
    double Mean() const {
        double largest = 0;
        for (size_t c = 0; c < 4; ++c)
            if (count[c]) largest = std::max(largest, sum[c] / double(count[c]));
        return largest;
    }
};

std::string at(const char* what, int x, int y) {
    return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
}

// Smooth and saturated: every channel swings over most of its range.
double wave(int x, int y, double fx, double fy, double phase) { return 0.5 + 0.42 * std::sin(x * fx + y * fy + phase); }

class GpuConvert : public testhost::GLTest {};

// ---- planes into RGBA -------------------------------------------------------

// Y'CbCr planes of `format` drawn straight from smooth waves (in the legal
// range of limited pictures), alpha a ramp.
FramePtr wavePlanes(AVPixelFormat format, int width, int height, bool fullRange) {
    FramePtr f = MakeFrame(format, width, height);
    const PixelLayout l = layoutOf(format, Matrix::BT709, fullRange);
    const double step = double(1 << (l.bits - 8));
    for (int p = 0; p < l.Planes(); ++p)
        for (int y = 0; y < l.PlaneHeight(p, height); ++y)
            for (int x = 0; x < l.PlaneWidth(p, width); ++x) {
                // Chroma waves in luma pixels, so every subsampling sees the same picture.
                const int px = p == 1 || p == 2 ? x << l.chromaShiftX : x;
                const int py = p == 1 || p == 2 ? y << l.chromaShiftY : y;
                double v = 0;
                if (p == 0) v = 16 + 219 * wave(px, py, 0.05, 0.02, 0.0);
                if (p == 1) v = 16 + 224 * wave(px, py, 0.006, 0.009, 1.0);
                if (p == 2) v = 16 + 224 * wave(px, py, -0.005, 0.01, 2.0);
                if (p == 3) v = 255.0 * (px + 2 * py) / (width + 2 * height);
                setSample(f.get(), p, x, y, int(std::lround(v * step)));
            }
    return f;
}

Difference planesVersusSwscale(AVPixelFormat format, Matrix matrix, bool fullRange) {
    // (Even: swscale stretches a chroma plane rounded up from an odd size
    // over the whole row, which moves its samples by up to half a pixel.)
    const int width = 66, height = 34;
    const PixelLayout layout = layoutOf(format, matrix, fullRange);
    FramePtr planes = wavePlanes(format, width, height, fullRange);
    FramePtr expected = MakeFrame(layout.Wide() ? AV_PIX_FMT_RGBA64LE : AV_PIX_FMT_RGBA, width, height);
    swsConvert(planes.get(), expected.get(), matrix, fullRange, SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT);

    gpu::PlanesToRgba pass;
    std::string error;
    EXPECT_TRUE(pass.Create(error)) << error;
    Texture target(width, height, layout.Wide());
    EXPECT_TRUE(pass.Convert(layout, libav::PlanesOf(planes.get()), width, height, 0, target.name, error)) << error;
    const std::vector<int> got = target.Read();

    Difference d;
    const double toEight = layout.Wide() ? 255.0 / 65535.0 : 1.0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 4; ++c) {
                const uint8_t* row = expected->data[0] + y * expected->linesize[0];
                int want = layout.Wide() ? reinterpret_cast<const uint16_t*>(row)[x * 4 + c] : row[x * 4 + c];
                if (c == 3 && !layout.alpha) want = layout.Wide() ? 65535 : 255;
                d.Add(std::abs(got[size_t((y * width + x) * 4 + c)] - want) * toEight, c, at("pixel", x, y));
            }
    return d;
}

TEST_F(GpuConvert, PlanesBecomeRgbaAsSwscaleMakesThemForEverySubsamplingDepthMatrixAndRange) {
    for (AVPixelFormat format :
         {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUVA420P, AV_PIX_FMT_YUV420P10LE,
          AV_PIX_FMT_YUVA444P10LE, AV_PIX_FMT_YUV422P12LE, AV_PIX_FMT_GBRP, AV_PIX_FMT_GBRAP16LE})
        for (Matrix matrix : {Matrix::BT601, Matrix::BT709, Matrix::BT2020})
            for (bool full : {false, true}) {
                SCOPED_TRACE(layoutOf(format, matrix, full).Describe());
                const Difference d = planesVersusSwscale(format, matrix, full);
                EXPECT_LE(d.worst, 3.0) << d.where;
                EXPECT_LE(d.Mean(), 0.75);
            }
}

// A chroma plane that rises linearly, one sample value per luma pixel
// (times `slope`), read back where each pixel's chroma is: the centre of
// the pixels a sample covers, in both directions.
TEST_F(GpuConvert, ChromaIsInterpolatedFromTheCentreOfThePixelsASampleCovers) {
    const int width = 65, height = 33, slope = 2;
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P})
        for (int axis = 0; axis < 2; ++axis) {
            const PixelLayout layout = layoutOf(format, Matrix::BT709, true);
            SCOPED_TRACE(layout.Describe() + (axis ? ", rising down" : ", rising right"));
            FramePtr planes = MakeFrame(format, width, height);
            for (int p = 0; p < 3; ++p)
                for (int y = 0; y < layout.PlaneHeight(p, height); ++y)
                    for (int x = 0; x < layout.PlaneWidth(p, width); ++x) {
                        // The centre of the pixels sample (x, y) covers, in pixels.
                        const double cx = (x + 0.5) * (1 << layout.chromaShiftX) - 0.5;
                        const double cy = (y + 0.5) * (1 << layout.chromaShiftY) - 0.5;
                        setSample(planes.get(), p, x, y,
                                  p == 2 ? int(std::lround(60 + slope * (axis ? cy : cx))) : 128);
                    }
            gpu::PlanesToRgba pass;
            std::string error;
            ASSERT_TRUE(pass.Create(error)) << error;
            Texture target(width, height, false);
            ASSERT_TRUE(pass.Convert(layout, libav::PlanesOf(planes.get()), width, height, 0, target.name, error))
                << error;
            const std::vector<int> got = target.Read();
            Difference d;
            // The first row and column lie outside the first sample's centre,
            // where the edge sample is repeated.
            for (int y = 1; y < height; ++y)
                for (int x = 1; x < width; ++x) {
                    const double cr = 60 + slope * (axis ? y : x) - 128.0;  // red stays within 0..255
                    const double red = 128 + 1.5748 * cr;                   // BT.709, full range
                    d.Add(std::abs(got[size_t((y * width + x) * 4)] - red), 0, at("pixel", x, y));
                }
            EXPECT_LE(d.worst, 1.5) << d.where;
        }
}

// A picture stood upright by quarter turns is the unturned one turned: each
// upright pixel comes from where the turn takes it (odd sides, 4:2:0, so
// chroma has to follow too).
TEST_F(GpuConvert, QuarterTurnsStandThePictureUprightClockwise) {
    const int width = 5, height = 3;
    const AVPixelFormat format = AV_PIX_FMT_YUV420P;
    FramePtr planes = wavePlanes(format, width, height, false);
    for (int p = 0; p < 3; ++p)  // every sample its own value
        for (int y = 0; y < (p ? 2 : height); ++y)
            for (int x = 0; x < (p ? 3 : width); ++x) setSample(planes.get(), p, x, y, 40 + 37 * p + 11 * y + 3 * x);
    const PixelLayout layout = layoutOf(format, Matrix::BT709, false);
    gpu::PlanesToRgba pass;
    std::string error;
    ASSERT_TRUE(pass.Create(error)) << error;
    Texture unturned(width, height, false);
    ASSERT_TRUE(pass.Convert(layout, libav::PlanesOf(planes.get()), width, height, 0, unturned.name, error)) << error;
    const std::vector<int> stored = unturned.Read();
    for (int turns = 1; turns < 4; ++turns) {
        const int w = turns == 2 ? width : height, h = turns == 2 ? height : width;
        Texture turned(w, h, false);
        ASSERT_TRUE(pass.Convert(layout, libav::PlanesOf(planes.get()), width, height, turns, turned.name, error))
            << error;
        const std::vector<int> got = turned.Read();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // Turned clockwise: the stored left column, bottom up, becomes the top row.
                const int sx = turns == 1 ? y : turns == 2 ? width - 1 - x : width - 1 - y;
                const int sy = turns == 1 ? height - 1 - x : turns == 2 ? height - 1 - y : x;
                for (int c = 0; c < 4; ++c)
                    ASSERT_EQ(got[size_t((y * w + x) * 4 + c)], stored[size_t((sy * width + sx) * 4 + c)])
                        << turns << " turns, pixel " << x << "," << y;
            }
    }
}

// Strides the GL cannot follow are refused before anything is uploaded; a
// stride of exactly one row is taken.
TEST_F(GpuConvert, RowStridesDownToExactlyOneRowAreTakenAndShorterOrNegativeOnesRefused) {
    const int width = 8, height = 4;
    const PixelLayout layout = layoutOf(AV_PIX_FMT_YUV420P, Matrix::BT709, false);
    std::vector<uint8_t> y(width * height, 235), u(4 * 2, 128), v(4 * 2, 128);
    gpu::PlanePointers planes;
    planes.data = {y.data(), u.data(), v.data(), nullptr};
    planes.linesize = {width, 4, 4, 0};
    gpu::PlanesToRgba pass;
    std::string error;
    ASSERT_TRUE(pass.Create(error)) << error;
    Texture target(width, height, false);
    EXPECT_TRUE(pass.Convert(layout, planes, width, height, 0, target.name, error)) << error;
    EXPECT_EQ(target.Read()[0], 255);  // limited white

    planes.linesize[1] = 3;
    EXPECT_FALSE(pass.Convert(layout, planes, width, height, 0, target.name, error));
    EXPECT_NE(error.find("plane 1"), std::string::npos) << error;
    planes.linesize[1] = 4;
    planes.linesize[0] = -width;
    EXPECT_FALSE(pass.Convert(layout, planes, width, height, 0, target.name, error));
}

// ---- RGBA into planes -------------------------------------------------------

// RGBA with colour and alpha changing smoothly.
FramePtr wavePicture(int width, int height) {
    FramePtr f = MakeFrame(AV_PIX_FMT_RGBA, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double v[4] = {wave(x, y, 0.06, 0.02, 0.0), wave(x, y, -0.03, 0.07, 1.0), wave(x, y, 0.04, 0.05, 2.0),
                                 0.1 + 0.9 * double(x + 2 * y) / (width + 2 * height)};
            for (int c = 0; c < 4; ++c) f->data[0][y * f->linesize[0] + x * 4 + c] = uint8_t(std::lround(v[c] * 255));
        }
    return f;
}

// The picture over black, as straight alpha composites: colour times alpha.
FramePtr overBlack(const AVFrame* rgba) {
    FramePtr f = MakeFrame(AV_PIX_FMT_RGBA, rgba->width, rgba->height);
    for (int y = 0; y < rgba->height; ++y)
        for (int x = 0; x < rgba->width; ++x) {
            const uint8_t* p = rgba->data[0] + y * rgba->linesize[0] + x * 4;
            uint8_t* q = f->data[0] + y * f->linesize[0] + x * 4;
            for (int c = 0; c < 3; ++c) q[c] = uint8_t((p[c] * p[3] + 127) / 255);
            q[3] = 255;
        }
    return f;
}

Difference compare(const AVFrame* got, const AVFrame* want, const PixelLayout& layout) {
    Difference d;
    const double toEight = 255.0 / double((1 << layout.bits) - 1);
    const char* names[4] = {"Y", "U", "V", "A"};
    for (int p = 0; p < layout.Planes(); ++p)
        for (int y = 0; y < layout.PlaneHeight(p, got->height); ++y)
            for (int x = 0; x < layout.PlaneWidth(p, got->width) * (layout.Planar() ? 1 : 4); ++x)
                d.Add(std::abs(sample(got, p, x, y) - sample(want, p, x, y)) * toEight, p, at(names[p], x, y));
    return d;
}

// Packs a picture through the GL and through swscale.
Difference packVersusSwscale(AVPixelFormat format, Matrix matrix, bool fullRange, bool composite) {
    const int width = 66, height = 34;
    const PixelLayout layout = layoutOf(format, matrix, fullRange);
    FramePtr picture = wavePicture(width, height);
    FramePtr expected = MakeFrame(format, width, height);
    swsConvert(composite ? overBlack(picture.get()).get() : picture.get(), expected.get(), matrix, fullRange,
               SWS_BICUBIC | SWS_ACCURATE_RND);

    Texture texture(width, height, false);
    texture.Fill(picture.get());
    gpu::RgbaToPlanes pack;
    std::string error;
    EXPECT_TRUE(pack.Create(layout, composite, width, height, 1, error)) << error;
    EXPECT_TRUE(pack.Pack(texture.name));
    FramePtr got = MakeFrame(format, width, height);
    EXPECT_TRUE(pack.Collect(libav::PlanesOf(got.get()), error)) << error;
    return compare(got.get(), expected.get(), layout);
}

TEST_F(GpuConvert, RgbaBecomesPlanesAsSwscaleMakesThemForEachEncoderFormatMatrixAndRange) {
    struct Case {
        AVPixelFormat format;
        bool composite;
    };
    for (const Case c :
         {Case{AV_PIX_FMT_YUV420P, true}, Case{AV_PIX_FMT_YUVA420P, false}, Case{AV_PIX_FMT_YUV422P, false},
          Case{AV_PIX_FMT_YUVA444P10LE, false}, Case{AV_PIX_FMT_YUV420P10LE, true}, Case{AV_PIX_FMT_BGRA, false},
          Case{AV_PIX_FMT_GBRAP16LE, false}})
        for (Matrix matrix : {Matrix::BT601, Matrix::BT709, Matrix::BT2020})
            for (bool full : {false, true}) {
                SCOPED_TRACE(layoutOf(c.format, matrix, full).Describe() + (c.composite ? " over black" : ""));
                const Difference d = packVersusSwscale(c.format, matrix, full, c.composite);
                EXPECT_LE(d.worst, 3.0) << d.where;
                EXPECT_LE(d.Mean(), 0.75);  // swscale's chroma filter is wider than a box
            }
}

// Frames come back in the order they were packed, and no more than the
// ring holds are taken.
TEST_F(GpuConvert, PackTakesAsManyFramesAsItsDepthAndCollectReturnsThemInOrder) {
    const int width = 8, height = 2, depth = 3;
    gpu::RgbaToPlanes pack;
    std::string error;
    const PixelLayout layout = layoutOf(AV_PIX_FMT_BGRA, Matrix::BT709, false);
    ASSERT_TRUE(pack.Create(layout, false, width, height, depth, error)) << error;
    std::vector<std::unique_ptr<Texture>> textures;
    for (int i = 0; i <= depth; ++i) {
        textures.push_back(std::make_unique<Texture>(width, height, false));
        FramePtr f = MakeFrame(AV_PIX_FMT_RGBA, width, height);
        for (int y = 0; y < height; ++y) std::fill_n(f->data[0] + y * f->linesize[0], width * 4, uint8_t(10 + i));
        textures.back()->Fill(f.get());
    }
    for (int i = 0; i < depth; ++i) EXPECT_TRUE(pack.Pack(textures[size_t(i)]->name)) << i;
    EXPECT_FALSE(pack.Pack(textures[size_t(depth)]->name)) << "one frame past the depth went in";
    FramePtr got = MakeFrame(AV_PIX_FMT_BGRA, width, height);
    for (int i = 0; i < depth; ++i) {
        ASSERT_TRUE(pack.Collect(libav::PlanesOf(got.get()), error)) << error;
        EXPECT_EQ(got->data[0][0], 10 + i);
    }
    EXPECT_EQ(pack.InFlight(), 0);
    EXPECT_FALSE(pack.Collect(libav::PlanesOf(got.get()), error));
}

}  // namespace

namespace {

// Pixels the passes cannot take exactly stay with swscale: words stored
// big-endian or shifted high, interleaved chroma, a matrix the passes lack.
TEST(GpuLayout, TakesOnlyWhatThePassesConvertExactly) {
    PixelLayout l;
    EXPECT_TRUE(tessivar::libav::GpuLayout(AV_PIX_FMT_YUV420P10LE, AVCOL_SPC_BT2020_NCL, AVCOL_RANGE_MPEG, l));
    EXPECT_EQ(l.Describe(), "yuv420p10 bt2020 limited");
    EXPECT_TRUE(tessivar::libav::GpuLayout(AV_PIX_FMT_YUVA444P16LE, AVCOL_SPC_BT470BG, AVCOL_RANGE_JPEG, l));
    EXPECT_EQ(l.Describe(), "yuva444p16 bt601 full");
    EXPECT_TRUE(tessivar::libav::GpuLayout(AV_PIX_FMT_GBRAP16LE, AVCOL_SPC_RGB, AVCOL_RANGE_JPEG, l));
    EXPECT_EQ(l.Describe(), "gbrap16");
    EXPECT_TRUE(tessivar::libav::GpuLayout(AV_PIX_FMT_BGRA, AVCOL_SPC_RGB, AVCOL_RANGE_JPEG, l));
    EXPECT_EQ(l.Describe(), "bgra");
    for (AVPixelFormat refused : {AV_PIX_FMT_YUV420P10BE, AV_PIX_FMT_P010LE, AV_PIX_FMT_NV12, AV_PIX_FMT_YUYV422,
                                  AV_PIX_FMT_GRAY8, AV_PIX_FMT_RGB48LE, AV_PIX_FMT_PAL8})
        EXPECT_FALSE(tessivar::libav::GpuLayout(refused, AVCOL_SPC_BT709, AVCOL_RANGE_MPEG, l))
            << av_get_pix_fmt_name(refused);
    for (int matrix : {AVCOL_SPC_SMPTE240M, AVCOL_SPC_FCC, AVCOL_SPC_YCGCO, AVCOL_SPC_BT2020_CL, AVCOL_SPC_UNSPECIFIED})
        EXPECT_FALSE(tessivar::libav::GpuLayout(AV_PIX_FMT_YUV420P, matrix, AVCOL_RANGE_MPEG, l)) << matrix;
}

}  // namespace
