#include "runner/ImageIO.h"

#include <png.h>

#include <filesystem>

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tessivar {
namespace {

constexpr uint32_t kMaxSide = 16384;

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
// message and jump back into the reading function.
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

// The state libpng writes into must survive a longjmp, so it lives outside
// the function that calls setjmp.
struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors;
    std::vector<png_bytep> rows;
    ~ReadState() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

bool decode(ReadState& s, std::FILE* f, const std::string& path, Image& out, std::string& error) {
    if (setjmp(png_jmpbuf(s.png))) {
        error = path + ": corrupt or truncated PNG (" + s.errors.message + ")";
        return false;
    }
    png_init_io(s.png, f);
    png_set_sig_bytes(s.png, 8);
    png_set_user_limits(s.png, kMaxSide, kMaxSide);
    png_read_info(s.png, s.info);
    const png_uint_32 w = png_get_image_width(s.png, s.info);
    const png_uint_32 h = png_get_image_height(s.png, s.info);
    const int depth = png_get_bit_depth(s.png, s.info);
    const int colour = png_get_color_type(s.png, s.info);
    if (depth == 16) {
        error = path + ": 16-bit " + colourTypeName(colour) +
                " PNG is not read (frames are 8 bits per channel); save it with 8 bits per channel";
        return false;
    }
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
    if (png_get_valid(s.png, s.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s.png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(s.png);
    png_set_filler(s.png, 0xFF, PNG_FILLER_AFTER);  // no-op when alpha exists
    png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
    if (png_get_rowbytes(s.png, s.info) != size_t(w) * 4) {
        error = path + ": PNG layout not read (" + colourTypeName(colour) + ", " + std::to_string(depth) + " bits)";
        return false;
    }
    out = Image(w, h);
    s.rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) s.rows[y] = out.At(0, y);
    png_read_image(s.png, s.rows.data());
    png_read_end(s.png, nullptr);
    return true;
}

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngErrors errors;
    std::vector<png_const_bytep> rows;
    ~WriteState() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

bool encode(WriteState& s, std::FILE* f, const Image& image) {
    if (setjmp(png_jmpbuf(s.png))) return false;
    png_init_io(s.png, f);
    png_set_IHDR(s.png, s.info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(s.png, 3);
    png_write_info(s.png, s.info);
    s.rows.resize(image.height);
    for (uint32_t y = 0; y < image.height; ++y) s.rows[y] = image.At(0, y);
    png_write_image(s.png, const_cast<png_bytepp>(s.rows.data()));
    png_write_end(s.png, nullptr);
    return true;
}

// A temporary file beside `path`, so the final rename stays on one file system.
#ifdef _WIN32
// No mkstemp in the C runtime: numbered names, each created exclusively.
std::FILE* openTemporary(const std::string& path, std::string& tmpPath, std::string& error) {
    const std::string stem = path + ".partial-" + std::to_string(_getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        tmpPath = stem + std::to_string(attempt);
        const int fd = _open(tmpPath.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        std::FILE* f = _fdopen(fd, "wb");
        if (!f) {
            error = "cannot write " + path + ": " + systemError();
            _close(fd);
            std::remove(tmpPath.c_str());
        }
        return f;
    }
    error = "cannot write " + path + ": " + systemError();
    return nullptr;
}
#else
std::FILE* openTemporary(const std::string& path, std::string& tmpPath, std::string& error) {
    std::string pattern = path + ".partial-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd < 0) {
        error = "cannot write " + path + ": " + systemError();
        return nullptr;
    }
    tmpPath = buf.data();
    // mkstemp makes the file private; give it the mode any new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(tmpPath.c_str(), 0666 & ~mask);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        error = "cannot write " + path + ": " + systemError();
        ::close(fd);
        std::remove(tmpPath.c_str());
    }
    return f;
}
#endif

bool finishTemporary(std::FILE* f, bool ok, const std::string& tmpPath, const std::string& path,
                     std::string& error) {
    if (std::fflush(f) != 0 || std::ferror(f)) ok = false;
    const int savedErrno = errno;
    if (std::fclose(f) != 0) ok = false;
    // (std::filesystem's rename replaces an existing file on Windows too,
    // where the C library's refuses.)
    std::error_code renamed;
    if (ok) std::filesystem::rename(tmpPath, path, renamed);
    if (ok && renamed) {
        error = "cannot write " + path + ": " + renamed.message();
        std::remove(tmpPath.c_str());
        return false;
    }
    if (!ok) {
        errno = savedErrno;
        if (error.empty()) error = "cannot write " + path + ": " + (errno ? systemError() : "write failed");
        std::remove(tmpPath.c_str());
    }
    return ok;
}

}  // namespace

bool ReadPng(const std::string& path, Image& out, std::string& error) {
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = errno == ENOENT ? "input file not found: " + path : "cannot open " + path + ": " + systemError();
        return false;
    }
    unsigned char signature[8] = {};
    const size_t got = std::fread(signature, 1, sizeof signature, f.get());
    if (got == 0) {
        error = path + ": empty file, not a PNG";
        return false;
    }
    if (got < sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        error = path + ": not a PNG file";
        return false;
    }
    ReadState s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.errors, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) {
        error = path + ": out of memory reading the PNG";
        return false;
    }
    return decode(s, f.get(), path, out, error);
}

bool WritePng(const std::string& path, const Image& image, std::string& error) {
    std::string tmpPath;
    std::FILE* f = openTemporary(path, tmpPath, error);
    if (!f) return false;
    WriteState s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.errors, pngError, pngWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    const bool ok = s.png && s.info && encode(s, f, image);
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
