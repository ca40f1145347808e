#include "runner/commands/render/FrameSinks.h"

#include "runner/ImageIO.h"
#include "runner/platform/Paths.h"
#include "runner/platform/ThreadCpu.h"

namespace tessivar::cli {

const Image& RenderedFrame::Picture() {
    if (!picture) picture = host->ReadOutput();
    return *picture;
}

Image RenderedFrame::TakePicture() {
    Image taken = picture ? std::move(*picture) : host->ReadOutput();
    picture.reset();
    return taken;
}

namespace {

class RawPipe : public FrameSink {
public:
    explicit RawPipe(std::FILE* stream) : to(stream) {}
    void Take(RenderedFrame& frame) override {
        if (!WriteRawFrame(to, To8Bits(frame.Picture())))
            throw Failure("standard output closed after " + std::to_string(frame.Number() - 1) + " frame(s)");
    }
    void Finish(RenderedFrame&) override {}
    void Abandon() override {}  // what went down the pipe is the reader's

private:
    std::FILE* to;
};

class PictureSequence : public FrameSink {
public:
    explicit PictureSequence(const OutputName& pattern) : name(pattern) {}
    void Take(RenderedFrame& frame) override {
        const std::string path = name.For(frame.Number());
        std::string error;
        if (!WritePng(path, frame.Picture(), error)) throw Failure(error);
        written.push_back(path);
    }
    void Finish(RenderedFrame&) override {}
    void Abandon() override {
        for (const auto& path : written) RemoveNamedFile(path);
    }

private:
    OutputName name;
    std::vector<std::string> written;
};

class LastPicture : public FrameSink {
public:
    explicit LastPicture(std::string file) : path(std::move(file)) {}
    void Take(RenderedFrame&) override {}
    // Once the run is over: a stream's last frame is known only then.
    void Finish(RenderedFrame& last) override {
        std::string error;
        if (!WritePng(path, last.Picture(), error)) throw Failure(error);
    }
    void Abandon() override {}  // nothing written yet

private:
    std::string path;
};

class GoldenFrames : public FrameSink {
public:
    GoldenFrames(const RenderPlan& plan, const std::string& renderer, std::FILE* notesTo)
        : check(plan.tolerance, plan.updateExpected),
          expect(*plan.expect),
          out(plan.out),
          notes(notesTo),
          update(plan.updateExpected) {
        check.SetRenderer(renderer);
    }
    void Take(RenderedFrame& frame) override {
        if (expect.Sequence()) Compare(frame, expect.For(frame.Number()), DiffPath(frame.Number()));
    }
    // The comparisons' verdict: a failure with one line when any frame
    // differed; the updated goldens put in place.
    void Finish(RenderedFrame& last) override {
        if (!expect.Sequence()) Compare(last, expect.For(0), DiffPath(0));
        std::string error;
        if (!check.Finish(error)) throw Failure(error);
        if (!check.Note().empty()) std::fprintf(stderr, "ffglrun: note: %s\n", check.Note().c_str());
        if (update) std::fprintf(notes, "wrote the golden picture(s) %s\n", expect.Text().c_str());
    }
    void Abandon() override {}  // the check removes the goldens it staged

private:
    // A frame's diff picture goes beside its output, or beside its golden
    // when there is no output file.
    std::string DiffPath(int frame) const { return DiffPathFor(out ? out->For(frame) : expect.For(frame)); }
    void Compare(RenderedFrame& frame, const std::string& golden, const std::string& diff) {
        std::string error;
        if (!check.Frame(frame.Number(), To8Bits(frame.Picture()), golden, diff, error)) throw Failure(error);
    }

    GoldenCheck check;
    OutputName expect;
    std::optional<OutputName> out;
    std::FILE* notes;
    bool update;
};

}  // namespace

std::unique_ptr<FrameSink> RawPipeSink(std::FILE* to) { return std::make_unique<RawPipe>(to); }
std::unique_ptr<FrameSink> PictureSequenceSink(const OutputName& name) {
    return std::make_unique<PictureSequence>(name);
}
std::unique_ptr<FrameSink> LastPictureSink(const std::string& path) { return std::make_unique<LastPicture>(path); }
std::unique_ptr<FrameSink> GoldenSink(const RenderPlan& plan, const std::string& renderer, std::FILE* notes) {
    return std::make_unique<GoldenFrames>(plan, renderer, notes);
}

// ---- the clip ----------------------------------------------------------------

ClipSink::ClipSink(std::string file, std::unique_ptr<ClipWriter> clip, gpu::ClipConversions& gl, StageStats& stages)
    : path(std::move(file)), writer(std::move(clip)), conversions(gl), stats(stages) {}

void ClipSink::Start(Pipeline& pipeline) {
    encoding = &pipeline.MakeQueue<Outgoing>(kQueueDepth);
    pipeline.Start([this] { Encode(); });
}

// A frame packed on the GL goes on once it is read back, a frame or two
// later; an RGBA frame goes now.
void ClipSink::Take(RenderedFrame& frame) {
    std::string error;
    if (conversions.PacksOutput()) {
        if (!conversions.Pack(frame.Texture(), frame.Pts(), SendPacked(), error)) throw Failure(path + ": " + error);
        return;
    }
    Outgoing next;
    next.frame.picture = frame.TakePicture();
    next.frame.pts = frame.Pts();
    encoding->Push(std::move(next));
}

void ClipSink::EndOfFrames() {
    std::string error;
    if (conversions.PacksOutput() && !conversions.Drain(SendPacked(), error)) throw Failure(path + ": " + error);
    encoding->Close();
}

// The encoding stage: every frame, in order. The file is finished on the GL
// thread once every stage has ended well.
void ClipSink::Encode() {
    NameThisThread(kEncodeThread);
    Outgoing next;
    std::string error;
    while (encoding->Pop(next)) {
        const bool ok = next.packed ? writer->WritePlanes(next.planes, error) : writer->Write(next.frame, error);
        if (!ok) throw Failure(error);
        if (next.packed) conversions.GiveBack(std::move(next.planes));
    }
    encodeThreadSeconds = ThreadCpuSeconds();
}

gpu::ClipConversions::Send ClipSink::SendPacked() {
    return [this](gpu::PlanarPicture&& planes) {
        Outgoing next;
        next.planes = std::move(planes);
        next.packed = true;
        encoding->Push(std::move(next));
    };
}

void ClipSink::Finish(RenderedFrame&) {
    std::string error;
    const double finishing = ThreadCpuSeconds();
    if (!writer->Finish(error)) throw Failure(error);
    // The encoder's last frames come out while it finishes.
    stats.encode += encodeThreadSeconds - writer->ConvertSeconds() + (ThreadCpuSeconds() - finishing);
    stats.convertOut += writer->ConvertSeconds();
}

// The writer removes its temporary file.
void ClipSink::Abandon() { writer.reset(); }

}  // namespace tessivar::cli
