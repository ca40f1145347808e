#include "runner/Patterns.h"

#include <algorithm>

namespace tessivar {
namespace {

void put(Image& img, uint32_t x, uint32_t y, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    uint8_t* p = img.At(x, y);
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = a;
}

uint8_t ramp(uint32_t i, uint32_t n) { return n <= 1 ? 0 : uint8_t((i * 255u + (n - 1) / 2) / (n - 1)); }

void gradient(Image& img, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h) {
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) put(img, x0 + x, y0 + y, ramp(x, w), ramp(y, h), 96);
}

bool onGridLine(uint32_t i, uint32_t n) {
    // Eight cells, lines two pixels wide (one on small pictures), the border included.
    const uint32_t width = n >= 64 ? 2 : 1;
    for (uint32_t k = 0; k <= 8; ++k) {
        const uint32_t line = std::min(n - width, k * n / 8 - (k == 8 ? width : 0));
        if (i >= line && i < line + width) return true;
    }
    return false;
}

void grid(Image& img, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, bool overGradient) {
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            if (onGridLine(x, w) || onGridLine(y, h))
                put(img, x0 + x, y0 + y, 255, 255, 255);
            else if (!overGradient)
                put(img, x0 + x, y0 + y, 16, 24, 64);
        }
}

void checker(Image& img) {
    const uint32_t w = img.width, h = img.height;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const bool dark = ((x * 8 / w) + (y * 8 / h)) % 2 == 0;
            const uint8_t v = dark ? 70 : 180;
            put(img, x, y, v, v, v);
        }
    // Coloured corner squares say which way up the picture is.
    const uint32_t cw = std::max(1u, w / 8), ch = std::max(1u, h / 8);
    const uint8_t colours[4][3] = {{230, 40, 40}, {40, 200, 70}, {30, 110, 255}, {250, 210, 20}};
    const uint32_t cx[4] = {0, w - cw, w - cw, 0}, cy[4] = {0, 0, h - ch, h - ch};
    for (int c = 0; c < 4; ++c)
        for (uint32_t y = 0; y < ch; ++y)
            for (uint32_t x = 0; x < cw; ++x)
                put(img, cx[c] + x, cy[c] + y, colours[c][0], colours[c][1], colours[c][2]);
}

void alphaBars(Image& img) {
    const uint32_t w = img.width, h = img.height;
    // The largest centred 4:3 rectangle; the rest stays transparent black.
    uint32_t pw = w, ph = h;
    if (uint64_t(w) * 3 > uint64_t(h) * 4)
        pw = std::max(1u, uint32_t(uint64_t(h) * 4 / 3));
    else
        ph = std::max(1u, uint32_t(uint64_t(w) * 3 / 4));
    const uint32_t x0 = (w - pw) / 2, y0 = (h - ph) / 2;
    gradient(img, x0, y0, pw, ph);
    grid(img, x0, y0, pw, ph, true);
}

}  // namespace

const std::vector<std::string>& PatternNames() {
    static const std::vector<std::string> names = {"gradient", "checker", "grid", "alpha-bars", "clear"};
    return names;
}

bool MakePattern(const std::string& name, uint32_t width, uint32_t height, Image& out, std::string& error) {
    Image img(width, height);
    if (name == "gradient")
        gradient(img, 0, 0, width, height);
    else if (name == "checker")
        checker(img);
    else if (name == "grid")
        grid(img, 0, 0, width, height, false);
    else if (name == "alpha-bars")
        alphaBars(img);
    else if (name != "clear") {
        std::string known;
        for (const auto& n : PatternNames()) known += (known.empty() ? "" : ", ") + n;
        error = "unknown pattern '" + name + "' (known: " + known + ")";
        return false;
    }
    out = std::move(img);
    return true;
}

}  // namespace tessivar
