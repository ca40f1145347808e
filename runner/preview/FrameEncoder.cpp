#include "runner/preview/FrameEncoder.h"

#include <turbojpeg.h>

namespace tessivar::preview {

void ViewSize(uint32_t width, uint32_t height, uint32_t& viewWidth, uint32_t& viewHeight, uint32_t& factor) {
    factor = 1;
    while ((width / factor > kMaxViewSide || height / factor > kMaxViewSide) && width / factor > 1 &&
           height / factor > 1)
        factor *= 2;
    viewWidth = width / factor;
    viewHeight = height / factor;
}

std::vector<uint8_t> FlattenForView(const Image& frame, uint32_t factor) {
    if (frame.bits != 8) return FlattenForView(To8Bits(frame), factor);  // a deep clip renders at 16 bits
    const uint32_t w = frame.width / factor, h = frame.height / factor;
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    const uint32_t n = factor * factor;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            // Premultiplied sums, so a transparent pixel's colour counts for nothing.
            uint32_t r = 0, g = 0, b = 0, a = 0;
            for (uint32_t dy = 0; dy < factor; ++dy) {
                const uint8_t* p = frame.At(x * factor, y * factor + dy);
                for (uint32_t dx = 0; dx < factor; ++dx, p += 4) {
                    r += p[0] * p[3];
                    g += p[1] * p[3];
                    b += p[2] * p[3];
                    a += p[3];
                }
            }
            const bool light = ((x / kCheckerSquare) + (y / kCheckerSquare)) % 2 == 0;
            const uint32_t under = light ? 204 : 153;
            const uint32_t rest = 255 * n - a;  // coverage left for the checkerboard, times 255 * n
            uint8_t* o = rgb.data() + (size_t(y) * w + x) * 3;
            o[0] = uint8_t((r + under * rest + 255 * n / 2) / (255 * n));
            o[1] = uint8_t((g + under * rest + 255 * n / 2) / (255 * n));
            o[2] = uint8_t((b + under * rest + 255 * n / 2) / (255 * n));
        }
    }
    return rgb;
}

bool EncodeJpeg(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height, int quality, std::string& out,
                std::string& error) {
    tjhandle tj = tjInitCompress();
    if (!tj) {
        error = "cannot start the JPEG encoder";
        return false;
    }
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int failed = tjCompress2(tj, rgb.data(), int(width), 0, int(height), TJPF_RGB, &jpeg, &size, TJSAMP_420,
                                   quality, TJFLAG_FASTDCT);
    if (failed)
        error = std::string("JPEG encoding failed: ") + tjGetErrorStr2(tj);
    else
        out.assign(reinterpret_cast<const char*>(jpeg), size);
    tjFree(jpeg);
    tjDestroy(tj);
    return !failed;
}

FrameEncoder::FrameEncoder(Hub& h) : hub(h), worker([this] { Loop(); }) {}

FrameEncoder::~FrameEncoder() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    worker.join();
}

void FrameEncoder::Submit(Image&& frame, const EncodedFrame& meta) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.emplace(std::move(frame), meta);
    }
    wake.notify_all();
}

void FrameEncoder::Loop() {
    for (;;) {
        std::pair<Image, EncodedFrame> job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || pending; });
            if (stopping) return;
            job = std::move(*pending);
            pending.reset();
        }
        auto out = std::make_shared<EncodedFrame>(std::move(job.second));
        uint32_t factor = 1;
        ViewSize(job.first.width, job.first.height, out->width, out->height, factor);
        std::string error;
        if (!EncodeJpeg(FlattenForView(job.first, factor), out->width, out->height, kJpegQuality, out->bytes, error)) {
            hub.Log("host", error);
            continue;
        }
        out->mime = "image/jpeg";
        hub.PublishFrame(std::move(out));
    }
}

}  // namespace tessivar::preview
