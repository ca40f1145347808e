// FFGLUtilities -- small helpers offered to plugin code: a console log line,
// power-of-two sizes, HSV colours, a random float, clamping and range mapping,
// and in-place text replacement. Nothing here touches GL; every function may
// be called from any thread that owns its arguments.
#pragma once

#include <sstream>
#include <string>

namespace ffglex {

// Writes `message` and one line feed to standard output, verbatim (printed
// with "%s", so a percent sign is just a character). Never reaches the host.
void Log(const std::string& message);

// Formats `a` then `b` with stream insertion, no separator, as one line.
template <typename A, typename B>
void Log(const A& a, const B& b) {
    std::ostringstream line;
    line << a << b;
    Log(line.str());
}

// True when x is non-zero and has exactly one bit set.
bool is_power_of_2(unsigned int x);  // (snake case: the toolkit's own name, kept as plugins call it)

// The smallest power of two that is at least n; 0 for 0. Meaningful for n up
// to 2^30 (n is taken as unsigned 32-bit).
int npot(int n);

// Hue as a fraction of a full turn (0..1), saturation and value in 0..1.
// Hue 1.0 and hues outside 0..1 fall into the last sector (magenta-red).
void HSVtoRGB(float h, float s, float v, float& r, float& g, float& b);
void HSVtoRGB(double h, double s, double v, double* r, double* g, double* b);

// A float from min to max (both included) from the C library's rand(),
// which nothing seeds, so the sequence is the platform's default one.
float random(float min, float max);

float clamp01(float x);                          // x limited to 0..1
float clamp(float value, float min, float max);  // max(min, min(max, value))
// Maps x linearly from a..b onto c..d and limits the result to c..d. With a
// reversed output range (c > d) the result is always c.
float map(float x, float a, float b, float c, float d);

// Replaces every occurrence of `from` in `text` with `to`. After each
// replacement the search resumes where the replaced occurrence began, so a
// replacement can join with what follows it ("abb", "ab" -> "a" gives "a").
// Always ends: an empty `from` changes nothing, and when `to` itself contains
// `from` the search resumes after the inserted text instead.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);

}  // namespace ffglex
