#include "runner/ImageIO.h"

#include "runner/PngGuard.h"
#include "runner/platform/Paths.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tessivar {
namespace {

constexpr uint32_t kMaxSide = kMaxPictureSide;

std::string systemError() { return std::strerror(errno); }

const char* colourTypeName(int colourType) {
    switch (colourType) {
        case PNG_COLOR_TYPE_GRAY: return "grey";
        case PNG_COLOR_TYPE_GRAY_ALPHA: return "grey+alpha";
        case PNG_COLOR_TYPE_PALETTE: return "palette";
        case PNG_COLOR_TYPE_RGB: return "RGB";
        case PNG_COLOR_TYPE_RGB_ALPHA: return "RGBA";
        default: return "unknown colour type";
    }
}

// libpng reports errors through a callback that must not return; we keep the
// message and jump back out of the step (PngGuard.h).
struct PngErrors {
    std::string message;
};

void pngError(png_structp png, png_const_charp message) {
    auto* errors = static_cast<PngErrors*>(png_get_error_ptr(png));
    if (errors && errors->message.empty()) errors->message = message ? message : "libpng error";
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A PNG held in memory, handed to libpng piece by piece.
struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

void readMemory(png_structp png, png_bytep out, png_size_t n) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (n > source->size - source->pos) png_error(png, "unexpected end of file");
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
}

// Deflate makes at most 1032 bytes of one: a file cannot hold more pixel data
// than that many times its own size.
constexpr uint64_t kMaxInflation = 1032;

// What a read needs across its two steps (PngGuard.h), which call libpng
// only: what they learn and what they fill lives here.
struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors;
    std::FILE* file = nullptr;       // the source: a file,
    MemorySource* memory = nullptr;  // or bytes in memory
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0;
    uint64_t pixelData = 0;  // bytes of the pixels as stored, before expansion
    std::vector<png_bytep> rows;
    ~ReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// Reads the header and asks for RGBA8 whatever the file holds. (16 bits per
// channel are refused afterwards; the transforms set here leave them be.)
void readHeaderStep(png_structp png, void* context) {
    ReadState& s = *static_cast<ReadState*>(context);
    if (s.memory)
        png_set_read_fn(png, s.memory, readMemory);
    else
        png_init_io(png, s.file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, s.info);
    s.width = png_get_image_width(png, s.info);
    s.height = png_get_image_height(png, s.info);
    s.depth = png_get_bit_depth(png, s.info);
    s.colour = png_get_color_type(png, s.info);
    s.pixelData = uint64_t(png_get_rowbytes(png, s.info)) * s.height;
    if (s.depth == 16) return;
    if (s.colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (s.colour == PNG_COLOR_TYPE_GRAY && s.depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (s.colour == PNG_COLOR_TYPE_GRAY || s.colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // no-op when alpha exists
    png_set_interlace_handling(png);
    png_read_update_info(png, s.info);
}

void readImageStep(png_structp png, void* context) {
    ReadState& s = *static_cast<ReadState*>(context);
    png_read_image(png, s.rows.data());
    png_read_end(png, nullptr);
}

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors;
    std::FILE* file = nullptr;
    const Image* image = nullptr;
    std::vector<png_const_bytep> rows;
    std::vector<png_text> text;
    ~WriteState() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

void writeStep(png_structp png, void* context) {
    WriteState& s = *static_cast<WriteState*>(context);
    const Image& image = *s.image;
    png_init_io(png, s.file);
    png_set_IHDR(png, s.info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 3);
    if (!s.text.empty()) png_set_text(png, s.info, s.text.data(), int(s.text.size()));
    png_write_info(png, s.info);
    png_write_image(png, const_cast<png_bytepp>(s.rows.data()));
    png_write_end(png, nullptr);
}

// A temporary file beside `path`, so the final rename stays on one file system.
std::FILE* openTemporary(const std::string& path, std::string& tmpPath, std::string& error) {
    std::string why;
    std::FILE* f = CreateTemporaryBeside(path, tmpPath, why);
    if (!f) error = "cannot write " + path + ": " + why;
    return f;
}

bool finishTemporary(std::FILE* f, bool ok, const std::string& tmpPath, const std::string& path, std::string& error) {
    if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
    const int savedErrno = errno;
    if (std::fclose(f) != 0) ok = false;
    std::string why;
    if (ok && !MoveOnto(tmpPath, path, why)) {
        error = "cannot write " + path + ": " + why;
        RemoveNamedFile(tmpPath);
        return false;
    }
    if (!ok) {
        errno = savedErrno;
        if (error.empty()) error = "cannot write " + path + ": " + (errno ? systemError() : "write failed");
        RemoveNamedFile(tmpPath);
    }
    return ok;
}

// Reads a PNG from the source set in `s`, whose first `got` bytes (up to 8)
// are `signature` and which is `size` bytes long (UINT64_MAX: not known).
bool readPng(ReadState& s, const unsigned char* signature, size_t got, uint64_t size, const std::string& path,
             Image& out, std::string& error, PngText* text) {
    if (got == 0) {
        error = path + ": empty file, not a PNG";
        return false;
    }
    if (got < 8 || png_sig_cmp(signature, 0, 8) != 0) {
        error = path + ": not a PNG file";
        return false;
    }
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.errors, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) {
        error = path + ": out of memory reading the PNG";
        return false;
    }
    if (!tessivarPngGuarded(s.png, readHeaderStep, &s)) {
        error = path + ": corrupt or truncated PNG (" + s.errors.message + ")";
        return false;
    }
    if (s.depth == 16) {
        error = path + ": 16-bit " + colourTypeName(s.colour) +
                " PNG is not read (frames are 8 bits per channel); save it with 8 bits per channel";
        return false;
    }
    if (png_get_rowbytes(s.png, s.info) != size_t(s.width) * 4) {
        error = path + ": PNG layout not read (" + colourTypeName(s.colour) + ", " + std::to_string(s.depth) + " bits)";
        return false;
    }
    // A few bytes may claim 16384 x 16384 pixels; find the file short before
    // clearing a gigabyte for them.
    if (size != UINT64_MAX && s.pixelData / kMaxInflation > size) {
        error = path + ": corrupt or truncated PNG (" + std::to_string(s.width) + "x" + std::to_string(s.height) +
                " pixels cannot come from " + std::to_string(size) + " bytes)";
        return false;
    }
    Image image(s.width, s.height);
    s.rows.resize(s.height);
    for (png_uint_32 y = 0; y < s.height; ++y) s.rows[y] = image.At(0, y);
    if (!tessivarPngGuarded(s.png, readImageStep, &s)) {
        error = path + ": corrupt or truncated PNG (" + s.errors.message + ")";
        return false;
    }
    if (text) {
        text->clear();
        png_textp fields = nullptr;
        const int count = png_get_text(s.png, s.info, &fields, nullptr);
        for (int i = 0; i < count; ++i)
            if (fields[i].key && fields[i].text) (*text)[fields[i].key] = fields[i].text;
    }
    out = std::move(image);
    return true;
}

}  // namespace

bool ReadPng(const std::string& path, Image& out, std::string& error, PngText* text) {
    File f(OpenNamedFile(path, "rb"));
    if (!f) {
        error = errno == ENOENT ? "input file not found: " + path : "cannot open " + path + ": " + systemError();
        return false;
    }
    unsigned char signature[8] = {};
    const size_t got = std::fread(signature, 1, sizeof signature, f.get());
    // The file's length, where it has one (a pipe has not).
    uint64_t size = UINT64_MAX;
    if (std::fseek(f.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(f.get());
        if (end >= long(got)) size = uint64_t(end);
    }
    if (std::fseek(f.get(), long(got), SEEK_SET) != 0) size = UINT64_MAX;
    ReadState s;
    s.file = f.get();
    return readPng(s, signature, got, size, path, out, error, text);
}

bool ReadPngBytes(const uint8_t* data, size_t size, const std::string& name, Image& out, std::string& error) {
    MemorySource source{data, size, std::min<size_t>(size, 8)};
    ReadState s;
    s.memory = &source;
    return readPng(s, data, source.pos, size, name, out, error, nullptr);
}

bool WritePng(const std::string& path, const Image& image, std::string& error, const PngText& text) {
    if (image.bits == 16) return WritePng(path, To8Bits(image), error, text);
    std::string tmpPath;
    std::FILE* f = openTemporary(path, tmpPath, error);
    if (!f) return false;
    WriteState s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.errors, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    s.file = f;
    s.image = &image;
    s.rows.resize(image.height);
    for (uint32_t y = 0; y < image.height; ++y) s.rows[y] = image.At(0, y);
    for (const auto& [key, value] : text) {
        png_text field{};
        field.compression = PNG_TEXT_COMPRESSION_NONE;
        field.key = const_cast<char*>(key.c_str());
        field.text = const_cast<char*>(value.c_str());
        s.text.push_back(field);
    }
    const bool ok = s.png && s.info && tessivarPngGuarded(s.png, writeStep, &s);
    if (!ok && !s.errors.message.empty()) error = "cannot write " + path + ": " + s.errors.message;
    return finishTemporary(f, ok, tmpPath, path, error);
}

bool WriteFileAtomically(const std::string& path, const void* bytes, size_t size, std::string& error) {
    std::string tmpPath;
    std::FILE* f = openTemporary(path, tmpPath, error);
    if (!f) return false;
    const bool ok = std::fwrite(bytes, 1, size, f) == size;
    return finishTemporary(f, ok, tmpPath, path, error);
}

RawRead ReadRawFrame(std::FILE* in, Image& frame, size_t& got) {
    got = 0;
    const size_t want = frame.rgba.size();
    while (got < want) {
        const size_t n = std::fread(frame.rgba.data() + got, 1, want - got, in);
        if (n == 0) break;
        got += n;
    }
    if (got == want) return RawRead::Frame;
    return got == 0 ? RawRead::End : RawRead::Short;
}

bool WriteRawFrame(std::FILE* out, const Image& frame) {
    return std::fwrite(frame.rgba.data(), 1, frame.rgba.size(), out) == frame.rgba.size() && std::fflush(out) == 0;
}

bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    auto number = [](const std::string& s, uint32_t& v) {
        if (s.empty() || s.size() > 6 || s.find_first_not_of("0123456789") != std::string::npos) return false;
        v = uint32_t(std::stoul(s));
        return v >= 1 && v <= kMaxSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

}  // namespace tessivar
