// LibAvVersions -- the one place that decides, by the libraries' own version
// macros, which of FFmpeg's interfaces the media room uses where they changed
// between the oldest FFmpeg we build against (5.1) and the newest (9.0).
// Everything else in runner/media/ calls these and never asks for a version.
//
// The rule: where the headers offer a replacement, it is used, so nothing
// deprecated in the FFmpeg at hand is compiled (deprecations are errors in
// our build); the older interface is used only where the replacement does not
// exist yet. scripts/ffmpeg-header-check.sh compiles every file that includes
// FFmpeg's headers against the newest versions Debian carries, so a new
// deprecation is seen before a user meets it.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdint>

// Stream side data (the display matrix) moved from AVStream into the stream's
// codec parameters, read with av_packet_side_data_get (libavformat 60.15,
// FFmpeg 6.1); the AVStream calls were deprecated then and are gone in 9.0.
#define TESSIVAR_LIBAV_CODECPAR_SIDE_DATA (LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100))
// An encoder's pixel formats, sample rates and sample formats are asked with
// avcodec_get_supported_config (libavcodec 61.13, FFmpeg 7.1) instead of read
// from AVCodec's lists, deprecated then and gone in 9.0.
#define TESSIVAR_LIBAV_SUPPORTED_CONFIG (LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(61, 13, 100))

namespace tessivar::libav {

// The display matrix a stream carries (nine 32-bit words, as
// av_display_rotation_get takes them), or null when it has none or a shorter
// one than a matrix needs.
inline const int32_t* DisplayMatrix(const AVStream* st) {
    constexpr size_t matrixBytes = 9 * sizeof(int32_t);
#if TESSIVAR_LIBAV_CODECPAR_SIDE_DATA
    const AVPacketSideData* sd = av_packet_side_data_get(st->codecpar->coded_side_data,
                                                         st->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    if (!sd || sd->size < matrixBytes) return nullptr;
    return reinterpret_cast<const int32_t*>(sd->data);
#else
    size_t size = 0;
    const uint8_t* data = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < matrixBytes) return nullptr;
    return reinterpret_cast<const int32_t*>(data);
#endif
}

#if TESSIVAR_LIBAV_SUPPORTED_CONFIG
namespace detail {
template <typename T>
const T* SupportedConfig(const AVCodec* codec, AVCodecConfig what) {
    const void* list = nullptr;
    if (avcodec_get_supported_config(nullptr, codec, what, 0, &list, nullptr) < 0) return nullptr;
    return static_cast<const T*>(list);
}
}  // namespace detail
#endif

// What an encoder takes, each list ended by its terminator as FFmpeg gives
// it (AV_PIX_FMT_NONE, 0, AV_SAMPLE_FMT_NONE); null when the codec names
// none (any value may do).
inline const AVPixelFormat* EncoderPixelFormats(const AVCodec* codec) {
#if TESSIVAR_LIBAV_SUPPORTED_CONFIG
    return detail::SupportedConfig<AVPixelFormat>(codec, AV_CODEC_CONFIG_PIX_FORMAT);
#else
    return codec->pix_fmts;
#endif
}

inline const int* EncoderSampleRates(const AVCodec* codec) {
#if TESSIVAR_LIBAV_SUPPORTED_CONFIG
    return detail::SupportedConfig<int>(codec, AV_CODEC_CONFIG_SAMPLE_RATE);
#else
    return codec->supported_samplerates;
#endif
}

inline const AVSampleFormat* EncoderSampleFormats(const AVCodec* codec) {
#if TESSIVAR_LIBAV_SUPPORTED_CONFIG
    return detail::SupportedConfig<AVSampleFormat>(codec, AV_CODEC_CONFIG_SAMPLE_FORMAT);
#else
    return codec->sample_fmts;
#endif
}

}  // namespace tessivar::libav
