#include "runner/commands/render/RenderInputs.h"

#include "runner/ImageIO.h"
#include "runner/Patterns.h"
#include "runner/platform/Interrupt.h"
#include "runner/platform/ThreadCpu.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tessivar::cli {

void RenderInputs::Open(const RenderPlan& p, Size& size) {
    plan = &p;
    if (p.rawIn) {
        pictures.emplace_back(p.rawIn->width, p.rawIn->height);
        if (!size.Set()) size = *p.rawIn;
    }
    NameThisThread(kDecodeThread);  // the decoder's threads take its name
    for (const auto& path : p.inputs) {
        Image picture;
        std::string error;
        if (!IsPngName(path)) {
            OpenClip(path);
            picture = clipFrame.picture;
        } else if (!ReadPng(path, picture, error)) {
            throw Failure(error);
        }
        if (!size.Set()) size = {picture.width, picture.height};
        pictures.push_back(std::move(picture));
    }
    if (!size.Set()) size = {1280, 720};
    for (const auto& name : p.patterns) {
        Image picture;
        std::string error;
        if (!MakePattern(name, size.width, size.height, picture, error))
            throw UsageFailure("--pattern " + name + ": " + error);
        pictures.push_back(std::move(picture));
    }
    fps = clip && clip->Format().frameRate.Known() ? clip->Format().frameRate.Value() : p.fps;
}

// A file where nothing decodes is a failure, however damaged.
void RenderInputs::OpenClip(const std::string& path) {
    if (clip) throw UsageFailure("--input " + path + ": one video clip at a time (" + clipPath + " is one)");
    std::string error;
    clipPath = path;
    clipSlot = pictures.size();
    clip = ClipReader::Open(path, error);
    if (clip && (plan->start <= 0 || clip->Seek(plan->start, error)) && clip->Next(clipFrame, error)) return;
    const std::string damage = clip ? clip->DamageReport() : "";
    throw Failure(!error.empty()   ? error
                  : damage.empty() ? path + ": no frame to read"
                                   : path + ": no frame decodes; " + damage.substr(path.size() + 2));
}

void RenderInputs::ReadFirstRaw() {
    if (plan->rawIn && !ReadRaw())
        throw Failure("standard input: no frame to read (expected " + std::to_string(plan->rawIn->width) + "x" +
                      std::to_string(plan->rawIn->height) + " RGBA)");
}

bool RenderInputs::ReadRaw() {
    size_t got = 0;
    Image& frame = pictures[0];
    const RawRead read = ReadRawFrame(stdin, frame, got);
    if (read != RawRead::Frame && Interrupted()) throw Interruption{};  // the read was cut short by it
    switch (read) {
        case RawRead::Frame: ++rawFramesRead; return true;
        case RawRead::End: return false;
        case RawRead::Short:
            throw Failure("standard input ended inside frame " + std::to_string(rawFramesRead + 1) + " (" +
                          std::to_string(got) + " of " + std::to_string(frame.rgba.size()) + " bytes); " +
                          std::to_string(rawFramesRead) + " whole frame(s) read and rendered");
    }
    return false;
}

double RenderInputs::Time(int index) const {
    return clip ? clipFrame.Seconds(clip->Format()) : plan->start + index / fps;
}

int64_t RenderInputs::Pts(int index) const { return clip ? std::max<int64_t>(0, clipFrame.pts - StartPts()) : index; }

int64_t RenderInputs::StartPts() const {
    if (!clip) return 0;
    const Ratio& base = clip->Format().timeBase;
    return llround(plan->start * base.den / base.num);
}

void RenderInputs::Start(Pipeline& pipeline) {
    if (!clip) return;
    decoded = &pipeline.MakeQueue<Decoded>(kQueueDepth);
    pipeline.Start([this] { Decode(); });
}

// The decoding stage: the clip's frames after the first, then its end.
void RenderInputs::Decode() {
    NameThisThread(kDecodeThread);
    // The first frame was read and converted on the GL thread: only what is
    // converted here comes out of this thread's time.
    const double convertedBefore = clip->ConvertSeconds();
    for (;;) {
        Decoded next;
        next.frame = spares.Take();
        const bool more = clip->Next(next.frame, next.error);
        if (!more && next.error.empty()) break;
        decoded->Push(std::move(next));
        if (!more) break;
    }
    decoded->Close();
    decodeThreadSeconds = ThreadCpuSeconds();
    decodeConvertSeconds = clip->ConvertSeconds() - convertedBefore;
}

bool RenderInputs::Advance(FrameHost& host, gpu::ClipConversions& conversions) {
    if (plan->rawIn) {
        if (!ReadRaw()) return false;
        host.UpdateInput(0, pictures[0]);
    }
    if (!clip) return true;
    Decoded next;
    if (!decoded->Pop(next)) return false;
    if (!next.error.empty()) throw Failure(next.error);
    std::swap(clipFrame, next.frame);
    spares.Give(std::move(next.frame));  // its buffers, for a later frame
    std::string error;
    if (!clipFrame.planar)
        host.UpdateInput(clipSlot, clipFrame.picture);
    else if (!conversions.Upload(clipFrame, host.InputTextureName(clipSlot), error))
        throw Failure(clipPath + ": " + error);
    return true;
}

void RenderInputs::StopReading() {
    if (decoded) decoded->Cancel();
}

void RenderInputs::AddStats(StageStats& stats) const {
    if (!clip) return;
    stats.decode += decodeThreadSeconds - decodeConvertSeconds;
    stats.convertIn += clip->ConvertSeconds();
}

void RenderInputs::NoteDamage() const {
    if (clip && !clip->DamageReport().empty())
        std::fprintf(stderr, "ffglrun: note: %s\n", clip->DamageReport().c_str());
}

}  // namespace tessivar::cli
