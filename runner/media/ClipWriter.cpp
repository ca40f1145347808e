// ClipWriter on FFmpeg: libswscale converts RGBA to the encoder's pixels with
// the matrix and range ColourPlan chose, libavcodec encodes, libavformat
// muxes; AudioTracks brings the audio along.
#include "runner/media/AudioTracks.h"
#include "runner/media/LibAv.h"
#include "runner/media/Media.h"
#include "runner/platform/Paths.h"
#include "runner/platform/ThreadCpu.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tessivar {

using namespace libav;

namespace {

void setEncoderOptions(const std::string& name, AVCodecContext* enc) {
    if (name == "prores_ks") {
        av_opt_set(enc->priv_data, "profile", "4444", 0);
    } else if (name == "libvpx-vp9") {
        av_opt_set(enc->priv_data, "deadline", "good", 0);
        av_opt_set_int(enc->priv_data, "cpu-used", 4, 0);
        av_opt_set_int(enc->priv_data, "row-mt", 1, 0);
        av_opt_set_int(enc->priv_data, "crf", 30, 0);
        enc->bit_rate = 0;
    } else if (name == "libx264") {
        av_opt_set(enc->priv_data, "preset", "veryfast", 0);
        av_opt_set_int(enc->priv_data, "crf", 18, 0);
    } else if (name == "mpeg4") {
        enc->flags |= AV_CODEC_FLAG_QSCALE;
        enc->global_quality = FF_QP2LAMBDA * 3;
    }
}

// The recipe's formats that `codec` takes, described for ColourPlan.
std::vector<PixelFormat> candidates(const ClipRecipe& recipe, const AVCodec* codec) {
    std::vector<PixelFormat> out;
    for (const char* name : recipe.pixels) {
        const AVPixelFormat p = av_get_pix_fmt(name);
        bool offered = false;
        for (const AVPixelFormat* q = EncoderPixelFormats(codec); q && *q != AV_PIX_FMT_NONE; ++q) offered |= *q == p;
        if (!offered) continue;
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(p);
        int bits = 0;
        for (int i = 0; i < d->nb_components; ++i) bits = std::max(bits, d->comp[i].depth);
        out.push_back({d->name, bits, (d->flags & AV_PIX_FMT_FLAG_RGB) != 0, (d->flags & AV_PIX_FMT_FLAG_ALPHA) != 0});
    }
    return out;
}

// Subsampled chroma covers pixels in pairs (4:2:0 both ways, 4:2:2 across):
// a side it cannot halve is refused before anything is rendered.
bool sidesFit(const std::string& path, const std::string& encoder, AVPixelFormat pixels, uint32_t width,
              uint32_t height, std::string& error) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(pixels);
    const uint32_t across = 1u << d->log2_chroma_w, down = 1u << d->log2_chroma_h;
    if (width % across == 0 && height % down == 0) return true;
    error = path + ": " + encoder + " in " + d->name + " needs " +
            (across > 1 && down > 1 ? "even sides" : "an even width") + "; " + std::to_string(width) + "x" +
            std::to_string(height) + " has not (pick an even --size, or .mov or .mkv)";
    return false;
}

// Over black, for containers without alpha: the colour weighted by its coverage.
template <typename T>
void overBlack(T* p, size_t count, uint32_t full) {
    for (size_t i = 0; i < count; i += 4) {
        for (int c = 0; c < 3; ++c) p[i + c] = T((p[i + c] * uint64_t(p[i + 3]) + full / 2) / full);
        p[i + 3] = T(full);
    }
}

}  // namespace

struct ClipWriter::Impl {
    std::string path, tmpPath, encoderName;
    VideoFormat format;
    Encoding encoding;
    AVPixelFormat pixels = AV_PIX_FMT_NONE;
    OutputPtr fmt;
    CodecPtr enc;
    AVStream* video = nullptr;
    FramePtr frame{av_frame_alloc()};
    PacketPtr packet{av_packet_alloc()};
    SwsPtr sws;
    Image composited;
    double convertSeconds = 0;         // thread CPU in Convert and CopyPlanes
    int64_t lastPts = AV_NOPTS_VALUE;  // in the encoder's time base
    bool finished = false;
    AudioTracks audio;
    std::vector<std::string> notes;

    ~Impl() {
        fmt.reset();  // closes the file first, so that Windows lets it go
        if (!finished && !tmpPath.empty()) RemoveNamedFile(tmpPath);
    }

    std::string WriteError(int rc) const { return "cannot write " + path + ": " + AvError(rc); }
    bool OpenEncoder(const ClipRecipe& recipe, const AVCodec* codec, std::string& error);
    bool OpenFile(std::string& error);
    bool Convert(const Image& picture, std::string& error);
    bool CopyPlanes(const gpu::PlanarPicture& picture, std::string& error);
    bool Send(int64_t pts, std::string& error);

    // Writes one packet, checking the file as well: a full disk shows in the
    // I/O context's error before any muxer call returns one.
    bool Put(AVPacket* p, std::string& error) {
        int rc = av_interleaved_write_frame(fmt.get(), p);
        if (rc >= 0 && fmt->pb->error < 0) rc = fmt->pb->error;
        if (rc < 0) {
            error = WriteError(rc);
            return false;
        }
        return true;
    }
    AudioTracks::Put Putter() {
        return [this](AVPacket* p, std::string& error) { return Put(p, error); };
    }

    // Sends `f` (null: the end) to the encoder and writes what comes out,
    // the audio up to each packet's time before it.
    bool Encode(AVFrame* f, std::string& error) {
        int rc = avcodec_send_frame(enc.get(), f);
        if (rc < 0) {
            error = path + ": the " + encoderName + " encoder refused a frame (" + AvError(rc) + ")";
            return false;
        }
        for (;;) {
            rc = avcodec_receive_packet(enc.get(), packet.get());
            if (IsAgain(rc) || rc == AVERROR_EOF) return true;
            if (rc < 0) {
                error = path + ": the " + encoderName + " encoder failed (" + AvError(rc) + ")";
                return false;
            }
            av_packet_rescale_ts(packet.get(), enc->time_base, video->time_base);
            packet->stream_index = video->index;
            const int64_t ts = packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts;
            if (!audio.WriteUntil(Seconds(ts, video->time_base), Putter(), error)) return false;
            if (!Put(packet.get(), error)) return false;
        }
    }
};

// The encoder, with the pixels, tags, time base and shape of the format.
bool ClipWriter::Impl::OpenEncoder(const ClipRecipe& recipe, const AVCodec* codec, std::string& error) {
    encoding = ChooseEncoding(candidates(recipe, codec), format.colour, format.bits, recipe.fullRange, format.width,
                              format.height);
    pixels = av_get_pix_fmt(encoding.pixels.name.c_str());
    if (pixels == AV_PIX_FMT_NONE) {
        error = path + ": the " + encoderName + " encoder offers none of the pixel formats ffglrun writes";
        return false;
    }
    if (!sidesFit(path, encoderName, pixels, format.width, format.height, error)) return false;
    if (!encoding.note.empty()) notes.push_back(path + " (" + encoderName + ") " + encoding.note);
    if (!encoding.pixels.alpha)
        notes.push_back(path + " keeps no alpha; frames are composited over black (" + encoderName + ")");

    enc.reset(avcodec_alloc_context3(codec));
    if (!enc) {
        error = OutOfMemory(path, "the " + encoderName + " encoder");
        return false;
    }
    AVCodecContext* e = enc.get();
    e->width = int(format.width);
    e->height = int(format.height);
    e->pix_fmt = pixels;
    // The frames' own time base; MPEG-4 part 2 takes none finer than 1/65535.
    e->time_base = {format.timeBase.num, format.timeBase.den};
    if (encoderName == "mpeg4" && e->time_base.den > 65535) e->time_base = {1, 1000};
    if (format.frameRate.Known()) e->framerate = {format.frameRate.num, format.frameRate.den};
    e->sample_aspect_ratio = {format.sampleAspect.num, format.sampleAspect.den};
    e->colorspace = AVColorSpace(encoding.colour.matrix);
    e->color_primaries = AVColorPrimaries(encoding.colour.primaries);
    e->color_trc = AVColorTransferCharacteristic(encoding.colour.transfer);
    e->color_range = AVColorRange(encoding.colour.range);
    e->thread_count = 0;
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    setEncoderOptions(encoderName, e);
    const int rc = avcodec_open2(e, codec, nullptr);
    if (rc < 0) {
        error = path + ": the " + encoderName + " encoder refuses " + std::to_string(format.width) + "x" +
                std::to_string(format.height) + " " + encoding.pixels.name + " (" + AvError(rc) + ")";
        return false;
    }
    video = avformat_new_stream(fmt.get(), nullptr);
    if (!video || avcodec_parameters_from_context(video->codecpar, e) < 0) {
        error = path + ": cannot add a video stream";
        return false;
    }
    video->time_base = e->time_base;
    video->sample_aspect_ratio = e->sample_aspect_ratio;
    if (format.frameRate.Known()) video->avg_frame_rate = e->framerate;

    frame->format = pixels;
    frame->width = e->width;
    frame->height = e->height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) {
        error = OutOfMemory(path, "a frame");
        return false;
    }
    // Every frame carries the tags too: some encoders take them from there.
    frame->colorspace = e->colorspace;
    frame->color_primaries = e->color_primaries;
    frame->color_trc = e->color_trc;
    frame->color_range = e->color_range;
    frame->sample_aspect_ratio = e->sample_aspect_ratio;
    return true;
}

// A temporary name beside the target, so the final rename stays on one file
// system; creating the file reserves it. (FFmpeg takes UTF-8 names on every
// system.) Then the header.
bool ClipWriter::Impl::OpenFile(std::string& error) {
    std::string why;
    std::FILE* reserved = CreateTemporaryBeside(path, tmpPath, why);
    if (!reserved) {
        error = "cannot write " + path + ": " + why;
        return false;
    }
    std::fclose(reserved);
    int rc = avio_open(&fmt->pb, tmpPath.c_str(), AVIO_FLAG_WRITE);
    if (rc >= 0) rc = avformat_write_header(fmt.get(), nullptr);
    if (rc >= 0) rc = fmt->pb->error;
    if (rc < 0) {
        error = WriteError(rc);
        return false;
    }
    return true;
}

// RGBA of 8 or 16 bits into the encoder's frame.
bool ClipWriter::Impl::Convert(const Image& picture, std::string& error) {
    const Image* source = &picture;
    if (!encoding.pixels.alpha) {
        composited = picture;
        if (composited.bits == 16)
            overBlack(composited.rgba16.data(), composited.rgba16.size(), 65535);
        else
            overBlack(composited.rgba.data(), composited.rgba.size(), 255);
        source = &composited;
    }
    const AVPixelFormat from = source->bits == 16 ? AV_PIX_FMT_RGBA64 : AV_PIX_FMT_RGBA;
    // (A context of other sizes or formats is freed and a new one made.)
    sws.reset(sws_getCachedContext(sws.release(), int(source->width), int(source->height), from, frame->width,
                                   frame->height, pixels, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr,
                                   nullptr, nullptr));
    if (!sws) {
        error = path + ": cannot convert RGBA to " + encoding.pixels.name;
        return false;
    }
    if (!encoding.pixels.rgb) {
        const int* table = sws_getCoefficients(encoding.colour.matrix);
        sws_setColorspaceDetails(sws.get(), table, 1, table, encoding.colour.range == ColourTags::kFull, 0, 1 << 16,
                                 1 << 16);
    }
    const int rc = av_frame_make_writable(frame.get());
    if (rc < 0) {
        error = path + ": " + AvError(rc);
        return false;
    }
    const uint8_t* planes[4] = {static_cast<const uint8_t*>(source->Data()), nullptr, nullptr, nullptr};
    const int strides[4] = {int(source->RowBytes()), 0, 0, 0};
    sws_scale(sws.get(), planes, strides, 0, int(source->height), frame->data, frame->linesize);
    return true;
}

ClipWriter::ClipWriter(std::unique_ptr<Impl> i) : impl(std::move(i)) {}
ClipWriter::~ClipWriter() = default;

std::unique_ptr<ClipWriter> ClipWriter::Open(const std::string& path, const VideoFormat& format, const AudioCopy& audio,
                                             std::string& error) {
    QuietLibraries();
    const ClipRecipe* recipe = ClipRecipeFor(path);
    if (!recipe) {
        error = UnknownOutputExtension(path);
        return nullptr;
    }
    const std::string ext = recipe->extension;
    auto state = std::make_unique<Impl>();
    Impl& w = *state;
    w.path = path;
    w.format = format;
    const AVCodec* codec = nullptr;
    for (const char* name : recipe->encoders)
        if (!codec && (codec = avcodec_find_encoder_by_name(name))) w.encoderName = name;
    if (!codec) {
        error = path + ": this FFmpeg has no " + recipe->encoders.front() + " encoder for ." + ext + " files";
        return nullptr;
    }
    if (!w.frame || !w.packet) {
        error = OutOfMemory(path, "encoding");
        return nullptr;
    }
    AVFormatContext* made = nullptr;
    const int rc = avformat_alloc_output_context2(&made, nullptr, recipe->muxer, nullptr);
    w.fmt.reset(made);
    if (rc == AVERROR(ENOMEM)) {
        error = OutOfMemory(path, "its container");
        return nullptr;
    }
    if (rc < 0 || !w.fmt) {
        error = path + ": this FFmpeg cannot write ." + ext + " files";
        return nullptr;
    }
    if (!w.OpenEncoder(*recipe, codec, error)) return nullptr;
    if (!audio.from.empty() && !w.audio.Open(audio.from, audio.start, w.fmt.get(), path, error)) return nullptr;
    for (const auto& note : w.audio.Notes()) w.notes.push_back(path + ": " + note);
    if (!w.OpenFile(error)) return nullptr;
    return std::unique_ptr<ClipWriter>(new ClipWriter(std::move(state)));
}

const std::string& ClipWriter::Encoder() const { return impl->encoderName; }
bool ClipWriter::KeepsAlpha() const { return impl->encoding.pixels.alpha; }
const std::vector<std::string>& ClipWriter::Notes() const { return impl->notes; }
int ClipWriter::AudioTrackCount() const { return impl->audio.Count(); }

// Frames keep their own times, in order.
bool ClipWriter::Impl::Send(int64_t in, std::string& error) {
    const AVRational from{format.timeBase.num, format.timeBase.den};
    int64_t pts = av_rescale_q(in, from, enc->time_base);
    if (lastPts != AV_NOPTS_VALUE) pts = std::max(lastPts + 1, pts);
    frame->pts = lastPts = pts;
    return Encode(frame.get(), error);
}

// Planes packed by a GL pass into the encoder's frame, row by row (the
// frame's rows are padded, the picture's are not).
bool ClipWriter::Impl::CopyPlanes(const gpu::PlanarPicture& picture, std::string& error) {
    gpu::PixelLayout layout;
    if (!libav::GpuLayout(pixels, encoding.colour.matrix, encoding.colour.range, layout) ||
        picture.width != frame->width || picture.height != frame->height) {
        error = path + ": a packed frame does not match the " + encoding.pixels.name + " encoder";
        return false;
    }
    const int rc = av_frame_make_writable(frame.get());
    if (rc < 0) {
        error = path + ": " + AvError(rc);
        return false;
    }
    const gpu::PlanePointers from = picture.Pointers(layout);
    for (int i = 0; i < layout.Planes(); ++i)
        av_image_copy_plane(frame->data[i], frame->linesize[i], from.data[size_t(i)], from.linesize[size_t(i)],
                            from.linesize[size_t(i)], layout.PlaneHeight(i, picture.height));
    return true;
}

bool ClipWriter::Write(const VideoFrame& in, std::string& error) {
    Impl& w = *impl;
    const double started = ThreadCpuSeconds();
    const bool converted = w.Convert(in.picture, error);
    w.convertSeconds += ThreadCpuSeconds() - started;
    return converted && w.Send(in.pts, error);
}

bool ClipWriter::PlanarLayout(gpu::PixelLayout& layout) const {
    return libav::GpuLayout(impl->pixels, impl->encoding.colour.matrix, impl->encoding.colour.range, layout);
}

bool ClipWriter::WritePlanes(const gpu::PlanarPicture& picture, std::string& error) {
    Impl& w = *impl;
    const double started = ThreadCpuSeconds();
    const bool copied = w.CopyPlanes(picture, error);
    w.convertSeconds += ThreadCpuSeconds() - started;
    return copied && w.Send(picture.pts, error);
}

double ClipWriter::ConvertSeconds() const { return impl->convertSeconds; }

bool ClipWriter::Finish(std::string& error) {
    Impl& w = *impl;
    if (!w.Encode(nullptr, error)) return false;
    // The audio runs to the end of the last frame.
    const double frame = w.format.frameRate.Known() ? 1.0 / w.format.frameRate.Value() : 0.0;
    const double end = w.lastPts == AV_NOPTS_VALUE ? 0.0 : Seconds(w.lastPts, w.enc->time_base) + frame;
    if (!w.audio.Finish(end, w.Putter(), error)) return false;
    int rc = av_write_trailer(w.fmt.get());
    if (rc >= 0 && w.fmt->pb->error < 0) rc = w.fmt->pb->error;
    const int closed = avio_closep(&w.fmt->pb);
    if (rc >= 0) rc = closed;
    if (rc < 0) {
        error = w.WriteError(rc);
        return false;
    }
    std::string why;
    if (!MoveOnto(w.tmpPath, w.path, why)) {
        error = "cannot write " + w.path + ": " + why;
        return false;
    }
    w.finished = true;
    return true;
}

}  // namespace tessivar
