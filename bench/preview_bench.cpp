// What a preview frame costs between the read-back and the page, at 1080p:
// flattening over the checkerboard (and halving to 960x540), then JPEG
// (libjpeg-turbo) against PNG (libpng, fastest and default compression), at
// full size and halved. The render itself is measured by `ffglrun bench`.
#include "runner/Patterns.h"
#include "runner/preview/FrameEncoder.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <string>

namespace {

using namespace tessivar;
using namespace tessivar::preview;

Image frame1080() {
    static Image img = [] {
        Image i;
        std::string error;
        MakePattern("alpha-bars", 1920, 1080, i, error);
        return i;
    }();
    return img;
}

// PNG into memory, RGB, the given zlib level, no row filters (the fastest).
std::string encodePng(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, int level) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t n) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), n);
        },
        nullptr);
    png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    png_set_filter(png, 0, level <= 1 ? PNG_FILTER_NONE : PNG_ALL_FILTERS);
    png_write_info(png, info);
    for (uint32_t y = 0; y < h; ++y) png_write_row(png, rgb.data() + size_t(y) * w * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void Flatten(benchmark::State& state) {
    const Image img = frame1080();
    const auto factor = uint32_t(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(FlattenForView(img, factor));
}
BENCHMARK(Flatten)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void Jpeg(benchmark::State& state) {
    const auto factor = uint32_t(state.range(0));
    const auto rgb = FlattenForView(frame1080(), factor);
    std::string out, error;
    for (auto _ : state) EncodeJpeg(rgb, 1920 / factor, 1080 / factor, kJpegQuality, out, error);
    state.counters["bytes"] = double(out.size());
}
BENCHMARK(Jpeg)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void Png(benchmark::State& state) {
    const auto factor = uint32_t(state.range(0));
    const int level = int(state.range(1));
    const auto rgb = FlattenForView(frame1080(), factor);
    std::string out;
    for (auto _ : state) out = encodePng(rgb, 1920 / factor, 1080 / factor, level);
    state.counters["bytes"] = double(out.size());
}
BENCHMARK(Png)->Args({1, 1})->Args({1, 6})->Args({2, 1})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
