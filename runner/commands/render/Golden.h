// Golden -- rendered frames compared with expected pictures ("goldens").
//
// A pixel differs when any of its four channels is further from the golden's
// than the tolerance (0..255). The default tolerance of 2 absorbs the last
// bit of rounding a different Mesa or LLVM build may give a filtered sample,
// and nothing a person could see: a moved corner, a changed colour or a
// guide drawn elsewhere is off by far more.
//
// A golden names the renderer it was made on (GL_RENDERER, in a PNG text
// field written with it). Another renderer filters, rounds and decides the
// pixels on an edge its own way: there a channel may be off by up to
// kOtherRendererTolerance (or the tolerance given, if larger), and up to
// kOtherRendererPermille of the pixels may be off by more. The run says
// once which rule it used (Note()). A golden naming no renderer is compared
// as if made on this one.
//
//     GoldenCheck golden(kDefaultTolerance, /*update=*/false);
//     golden.SetRenderer(gl.Renderer());
//     golden.Frame(1, picture, "tests/goldens/x.png", "out/x.diff.png", error);
//     if (!golden.Finish(error)) ...   // one line: which frame, how many pixels, how far
//
// With `update` the frames become the goldens instead: each is staged beside
// its golden and all are put in place by Finish, so a run that fails part way
// leaves the old goldens as they were.
#pragma once

#include "runner/GLFrame.h"

#include <string>
#include <utility>
#include <vector>

namespace tessivar {

constexpr int kDefaultTolerance = 2;
constexpr int kOtherRendererTolerance = 8;
constexpr size_t kOtherRendererPermille = 10;  // 1% of the pixels

struct ImageDiff {
    bool sameSize = true;
    size_t differing = 0;  // pixels off by more than the tolerance
    int worst = 0;         // the largest difference of any channel
    uint32_t worstX = 0, worstY = 0;
};

ImageDiff CompareImages(const Image& actual, const Image& expected, int tolerance);
// Where they differ: the golden dimmed to grey, every differing pixel red,
// brighter the further off it is. Both pictures must have the same size.
Image DiffPicture(const Image& actual, const Image& expected, int tolerance);

// "out/frame-3.png" -> "out/frame-3.diff.png": where the diff picture of a
// frame written to `output` goes.
std::string DiffPathFor(const std::string& output);

class GoldenCheck {
public:
    GoldenCheck(int maxDifference, bool updating) : tolerance(maxDifference), update(updating) {}
    ~GoldenCheck();
    GoldenCheck(const GoldenCheck&) = delete;
    GoldenCheck& operator=(const GoldenCheck&) = delete;

    // The renderer this run draws with (GL_RENDERER), before the first frame.
    void SetRenderer(std::string name) { renderer = std::move(name); }

    // Compares frame `number` with `golden` and writes a diff picture to
    // `diffPath` when they differ; when updating, stages the frame as the new
    // golden. False (with `error`) only when a file cannot be read or written.
    bool Frame(int number, const Image& image, const std::string& golden, const std::string& diffPath,
               std::string& error);
    // False with one line when any frame differed; when updating, puts every
    // staged golden in place (false if that fails, with the old ones kept).
    bool Finish(std::string& error);
    size_t Compared() const { return compared; }
    // Empty, or one line: a golden made on another renderer, and the rule
    // it was compared by.
    const std::string& Note() const { return note; }

private:
    struct Mismatch {
        int frame;
        std::string golden, diffPath, diffError;
        ImageDiff diff;
        uint32_t width, height, goldenWidth, goldenHeight;
        int tolerance;
        size_t allowed;  // pixels that may differ
    };
    int tolerance;
    bool update;
    std::string renderer, note;
    size_t compared = 0;
    std::vector<Mismatch> mismatches;
    std::vector<std::pair<std::string, std::string>> staged;  // staging file, golden
};

}  // namespace tessivar
