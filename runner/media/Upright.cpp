#include "runner/media/Upright.h"

#include "runner/media/LibAv.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/display.h>
}

#include <cmath>
#include <cstdio>

namespace tessivar::libav {

int DisplayRotation(const AVStream* st) {
    const int32_t* matrix = DisplayMatrix(st);
    if (!matrix) return 0;
    // The matrix turns counter-clockwise; players turn the picture back. A
    // singular matrix (a column of zeros) has no angle: players show such a
    // file as stored, and turning NaN into degrees would be undefined.
    const double angle = av_display_rotation_get(matrix);
    if (!std::isfinite(angle)) return 0;
    double degrees = -std::round(angle);
    degrees -= 360 * std::floor(degrees / 360 + 0.9 / 360);
    return int(degrees) % 360;
}

namespace {
// The filters that turn a picture clockwise by `degrees`.
std::string turning(int degrees) {
    if (degrees == 90) return "transpose=clock";
    if (degrees == 180) return "hflip,vflip";
    if (degrees == 270) return "transpose=cclock";
    char text[64];
    std::snprintf(text, sizeof text, "rotate=%d*PI/180", degrees);
    return text;
}
}  // namespace

bool Upright::Init(const AVCodecContext* dec, AVRational timeBase, AVRational sampleAspect, int degrees,
                   std::string& error) {
    width = dec->width;
    height = dec->height;
    aspect = sampleAspect;
    if (degrees == 0) return true;
    char args[256];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width,
                  dec->height, int(dec->pix_fmt), timeBase.num, timeBase.den, sampleAspect.num, sampleAspect.den);
    graph.reset(avfilter_graph_alloc());
    turned.reset(av_frame_alloc());
    FilterInOutPtr outputs(avfilter_inout_alloc()), inputs(avfilter_inout_alloc());
    int rc = graph && turned && outputs && inputs ? 0 : AVERROR(ENOMEM);
    if (rc >= 0)
        rc = avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args, nullptr, graph.get());
    if (rc >= 0)
        rc = avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                          graph.get());
    if (rc >= 0) {
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        if (!outputs->name || !inputs->name) rc = AVERROR(ENOMEM);
    }
    if (rc >= 0) {
        // The parser takes the lists and hands back what it leaves.
        AVFilterInOut *in = inputs.release(), *out = outputs.release();
        rc = avfilter_graph_parse_ptr(graph.get(), turning(degrees).c_str(), &in, &out, nullptr);
        inputs.reset(in);
        outputs.reset(out);
    }
    if (rc >= 0) rc = avfilter_graph_config(graph.get(), nullptr);
    if (rc < 0) {
        error = "cannot turn the pictures upright by " + std::to_string(degrees) + " degrees (" + AvError(rc) + ")";
        return false;
    }
    width = av_buffersink_get_w(sink);
    height = av_buffersink_get_h(sink);
    aspect = av_buffersink_get_sample_aspect_ratio(sink);
    return true;
}

AVFrame* Upright::Turn(AVFrame* in, std::string& error) {
    if (!graph) return in;
    av_frame_unref(turned.get());
    int rc = av_buffersrc_add_frame_flags(source, in, AV_BUFFERSRC_FLAG_KEEP_REF);
    if (rc >= 0) rc = av_buffersink_get_frame(sink, turned.get());
    if (rc < 0) {
        error = "cannot turn a picture upright (" + AvError(rc) + ")";
        return nullptr;
    }
    return turned.get();
}

}  // namespace tessivar::libav
