#include "runner/media/gpu/ClipConversions.h"

#include "runner/platform/ThreadCpu.h"

#include <algorithm>
#include <cctype>

namespace tessivar::gpu {

namespace {
// Frames in flight on the read-back: the GL packs one while the CPU copies
// the one before.
constexpr int kReadbackDepth = 2;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}
}  // namespace

bool ParseConvertMode(const std::string& text, ConvertMode& mode) {
    if (text == "auto")
        mode = ConvertMode::Auto;
    else if (text == "gl")
        mode = ConvertMode::Gl;
    else if (text == "cpu")
        mode = ConvertMode::Cpu;
    else
        return false;
    return true;
}

bool IsSoftwareRenderer(const std::string& renderer) {
    const std::string name = lower(renderer);
    for (const char* software : {"llvmpipe", "softpipe", "swiftshader", "software", "gdi generic", "basic render"})
        if (name.find(software) != std::string::npos) return true;
    return false;
}

ConvertChoice ChooseConversions(ConvertMode mode, const std::string& renderer) {
    switch (mode) {
        case ConvertMode::Gl: return {true, true};
        case ConvertMode::Cpu: return {false, false};
        case ConvertMode::Auto: break;
    }
    return {!IsSoftwareRenderer(renderer), true};
}

bool ClipConversions::Start(ConvertMode mode, const std::string& renderer, ClipReader* reader, ClipWriter* writer,
                            int w, int h, std::string& error) {
    const ConvertChoice choice = ChooseConversions(mode, renderer);
    width = w;
    height = h;
    if (reader && choice.planesIn) {
        if (!toRgba.Create(error)) return false;
        reader->PreferPlanes(true);
        inPath = "gl";
    }
    if (writer && choice.packOut && writer->PlanarLayout(packed)) {
        std::string why;
        packing = toPlanes.Create(packed, !writer->KeepsAlpha(), w, h, kReadbackDepth, why);
        if (packing) outPath = "gl (" + packed.Describe() + ")";
    }
    return true;
}

bool ClipConversions::Upload(const VideoFrame& frame, unsigned texture, std::string& error) {
    const double started = ThreadCpuSeconds();
    const bool done = toRgba.Convert(frame.layout, frame.planes.Pointers(frame.layout), frame.planes.width,
                                     frame.planes.height, 0, texture, error);
    if (done && inPath == "gl") inPath = "gl (" + frame.layout.Describe() + ")";
    inSeconds += ThreadCpuSeconds() - started;
    return done;
}

bool ClipConversions::CollectOldest(const Send& send, std::string& error) {
    PlanarPicture picture = spares.Take();
    const PlanePointers planes = picture.Allocate(packed, width, height);
    if (!toPlanes.Collect(planes, error)) return false;
    picture.pts = times.front();
    times.pop_front();
    send(std::move(picture));
    return true;
}

bool ClipConversions::Pack(unsigned texture, int64_t pts, const Send& send, std::string& error) {
    const double started = ThreadCpuSeconds();
    bool done = toPlanes.InFlight() < kReadbackDepth || CollectOldest(send, error);
    if (done) {
        toPlanes.Pack(texture);
        times.push_back(pts);
    }
    outSeconds += ThreadCpuSeconds() - started;
    return done;
}

bool ClipConversions::Drain(const Send& send, std::string& error) {
    const double started = ThreadCpuSeconds();
    bool done = true;
    while (done && toPlanes.InFlight() > 0) done = CollectOldest(send, error);
    outSeconds += ThreadCpuSeconds() - started;
    return done;
}

}  // namespace tessivar::gpu
