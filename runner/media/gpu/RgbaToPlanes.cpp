#include "runner/media/gpu/RgbaToPlanes.h"

#include "gl/GLIncludes.h"

#include <cstring>

namespace tessivar::gpu {
namespace {

const char* kPackCommon = R"(
uniform sampler2D picture;  // RGBA, rows bottom-up
uniform ivec2 size;
uniform mat3 toYuv;
uniform vec3 valueScale;
uniform vec3 valueOffset;
uniform float largest;      // 2^bits - 1

vec4 pixel(ivec2 p) {
    p = min(p, size - 1);   // pixels past the right or bottom edge repeat it
    vec4 c = texelFetch(picture, ivec2(p.x, size.y - 1 - p.y), 0);
#ifdef OVER_BLACK
    c = vec4(c.rgb * c.a, 1.0);
#endif
    return c;
}

// A sample's value, rounded.
uint code(float value) { return uint(clamp(value, 0.0, largest) + 0.5); }
)";

// Reads every pixel of the block once: luma and alpha as they come, the
// colours summed per chroma sample.
const char* kPackPlanar = R"(
void main() {
    ivec2 origin = ivec2(gl_FragCoord.xy) * ivec2(BW, BH);
    uint ys[BW * BH];
    uint as[BW * BH];
    vec3 sums[BW >> SX];
    for (int i = 0; i < (BW >> SX); ++i) sums[i] = vec3(0.0);
    vec3 lumaRow = vec3(toYuv[0][0], toYuv[1][0], toYuv[2][0]);
    for (int r = 0; r < BH; ++r)
        for (int x = 0; x < BW; ++x) {
            vec4 c = pixel(origin + ivec2(x, r));
            ys[r * BW + x] = code(dot(lumaRow, c.rgb) * valueScale.x + valueOffset.x);
            as[r * BW + x] = code(c.a * largest);
            sums[x >> SX] += c.rgb;
        }
    uint us[BW >> SX];
    uint vs[BW >> SX];
    for (int i = 0; i < (BW >> SX); ++i) {
        vec3 yuv = toYuv * (sums[i] / float((1 << SX) * BH));
        us[i] = code(yuv.y * valueScale.y + valueOffset.y);
        vs[i] = code(yuv.z * valueScale.z + valueOffset.z);
    }
)";

const char* kPackPacked = R"(
void main() {
    ivec2 origin = ivec2(gl_FragCoord.xy) * ivec2(BW, 1);
    uint ps[BW * 4];
    for (int x = 0; x < BW; ++x) {
        vec4 c = pixel(origin + ivec2(x, 0));
#ifdef BGRA
        c = c.bgra;
#endif
        for (int k = 0; k < 4; ++k) ps[x * 4 + k] = code(c[k] * 255.0);
    }
)";

GLenum readFormat(int texelBytes) {
    return texelBytes == 16 ? GL_RGBA_INTEGER : texelBytes == 8 ? GL_RG_INTEGER : GL_RED_INTEGER;
}

}  // namespace

// One plane in the pixel buffers: packed rows, `rowBytes` apart.
struct RgbaToPlanes::Plane {
    int samples = 0, rows = 0;  // of the plane (a packed plane: in pixels)
    int sampleBytes = 1;        // in memory (a packed plane: 4)
    int perTexel = 8;           // samples one texel holds
    int blockRows = 1;          // rows of the plane one fragment writes
    int texels = 0;             // per row
    size_t offset = 0, rowBytes = 0;
};

// One integer target: row `row` of each block of plane `plane`.
struct RgbaToPlanes::Target {
    unsigned texture = 0;
    int plane = 0, row = 0;
    int texelBytes = 4;
    const char* array = "ys";  // the shader's samples for it
};

struct RgbaToPlanes::Slot {
    unsigned buffer = 0;
    GLsync fence = nullptr;
};

RgbaToPlanes::RgbaToPlanes() = default;
RgbaToPlanes::~RgbaToPlanes() { Release(); }

void RgbaToPlanes::Release() {
    for (Slot& s : slots) {
        if (s.fence) glDeleteSync(s.fence);
        if (s.buffer) glDeleteBuffers(1, &s.buffer);
    }
    slots.clear();
    for (Target& t : targets)
        if (t.texture) glDeleteTextures(1, &t.texture);
    targets.clear();
    planes.clear();
    program.Release();
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    framebuffer = 0;
    oldest = inFlight = 0;
    bufferBytes = 0;
}

bool RgbaToPlanes::Create(const PixelLayout& l, bool composite, int w, int h, int depth, std::string& error) {
    Release();
    if ((!l.Planar() && l.Wide()) || (l.Subsampled() && (l.chromaShiftX > 1 || l.chromaShiftY > 1))) {
        error = l.Describe() + " pictures are converted on the CPU";
        return false;
    }
    layout = l;
    overBlack = composite;
    width = w;
    height = h;
    blockWidth = layout.Planar() ? 8 : 4;
    blockHeight = layout.Subsampled() ? 1 << layout.chromaShiftY : 1;
    if (!MakeTargets(error) || !MakeProgram(error)) return false;

    slots.resize(size_t(depth < 1 ? 1 : depth));
    for (Slot& s : slots) {
        glGenBuffers(1, &s.buffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, s.buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(bufferBytes), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return true;
}

// A plane's rows in the pixel buffers, and a target per block row of it.
bool RgbaToPlanes::MakeTargets(std::string& error) {
    const int blocksWide = (width + blockWidth - 1) / blockWidth;
    const int blocksHigh = (height + blockHeight - 1) / blockHeight;
    const char* arrays[4] = {"ys", "us", "vs", "as"};
    for (int i = 0; i < layout.Planes(); ++i) {
        const bool chroma = i == 1 || i == 2;
        Plane p;
        p.samples = layout.PlaneWidth(i, width);
        p.rows = layout.PlaneHeight(i, height);
        p.sampleBytes = layout.BytesPerSample();
        p.perTexel = !layout.Planar() ? blockWidth : chroma ? blockWidth >> layout.chromaShiftX : blockWidth;
        p.blockRows = chroma ? 1 : blockHeight;
        p.texels = blocksWide;
        p.rowBytes = size_t(p.texels) * size_t(p.perTexel) * size_t(p.sampleBytes);
        p.offset = bufferBytes;
        bufferBytes += p.rowBytes * size_t(blocksHigh) * size_t(p.blockRows);
        planes.push_back(p);
        for (int r = 0; r < p.blockRows; ++r) {
            Target t;
            t.plane = i;
            t.row = r;
            t.texelBytes = p.perTexel * p.sampleBytes;
            t.array = layout.Planar() ? arrays[i] : "ps";
            const GLenum format = t.texelBytes == 16 ? GL_RGBA32UI : t.texelBytes == 8 ? GL_RG32UI : GL_R32UI;
            glGenTextures(1, &t.texture);
            glBindTexture(GL_TEXTURE_2D, t.texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), blocksWide, blocksHigh, 0, readFormat(t.texelBytes),
                         GL_UNSIGNED_INT, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            targets.push_back(t);
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    std::vector<GLenum> buffers;
    for (size_t k = 0; k < targets.size(); ++k) {
        const GLenum attachment = GLenum(GL_COLOR_ATTACHMENT0 + k);
        glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, targets[k].texture, 0);
        buffers.push_back(attachment);
    }
    glDrawBuffers(GLsizei(buffers.size()), buffers.data());
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!complete) {
        error = "the GL cannot draw " + layout.Describe() + " planes of " + std::to_string(width) + "x" +
                std::to_string(height);
        return false;
    }
    return true;
}

// The block's samples packed into each target's unsigned words, low bytes
// first, as they lie in memory.
std::string RgbaToPlanes::FragmentSource() const {
    std::string s = "#version 410 core\n";
    if (overBlack) s += "#define OVER_BLACK\n";
    if (layout.kind == PixelLayout::Kind::Bgra) s += "#define BGRA\n";
    s += "#define BW " + std::to_string(blockWidth) + "\n#define BH " + std::to_string(blockHeight) + "\n";
    s += "#define SX " + std::to_string(layout.Subsampled() ? layout.chromaShiftX : 0) + "\n";
    s += kPackCommon;
    const char* vectors[5] = {"", "uint", "uvec2", "", "uvec4"};
    for (size_t k = 0; k < targets.size(); ++k)
        s += "layout(location = " + std::to_string(k) + ") out " + vectors[targets[k].texelBytes / 4] + " out" +
             std::to_string(k) + ";\n";
    s += layout.Planar() ? kPackPlanar : kPackPacked;
    for (size_t k = 0; k < targets.size(); ++k) {
        const Target& t = targets[k];
        const Plane& p = planes[size_t(t.plane)];
        const int unit = layout.Planar() ? p.sampleBytes : 1;  // a packed pixel's bytes go one by one
        const int perWord = 4 / unit, words = t.texelBytes / 4;
        const int first = layout.Planar() ? t.row * blockWidth : 0;
        std::string value = words == 1 ? "" : std::string(vectors[words]) + "(";
        for (int word = 0; word < words; ++word) {
            if (word) value += ", ";
            for (int j = 0; j < perWord; ++j) {
                const std::string sample =
                    std::string(t.array) + "[" + std::to_string(first + word * perWord + j) + "]";
                value += j == 0 ? sample : " | (" + sample + " << " + std::to_string(j * 8 * unit) + ")";
            }
        }
        s += "    out" + std::to_string(k) + " = " + value + (words == 1 ? "" : ")") + ";\n";
    }
    return s + "}\n";
}

bool RgbaToPlanes::MakeProgram(std::string& error) {
    if (!program.Create(GLProgram::FullScreenVertex(), FragmentSource(), "the RGBA to " + layout.Describe() + " shader",
                        error))
        return false;
    const YuvCoefficients c = Coefficients(layout);
    glUseProgram(program.Name());
    glUniform1i(program.Uniform("picture"), 0);
    glUniform2i(program.Uniform("size"), width, height);
    glUniformMatrix3fv(program.Uniform("toYuv"), 1, GL_FALSE, c.toYuv.data());
    glUniform3fv(program.Uniform("valueScale"), 1, c.valueScale.data());
    glUniform3fv(program.Uniform("valueOffset"), 1, c.valueOffset.data());
    glUniform1f(program.Uniform("largest"), layout.Planar() ? c.alphaMax : 255.0f);
    glUseProgram(0);
    return true;
}

bool RgbaToPlanes::Pack(unsigned texture) {
    if (inFlight == int(slots.size())) return false;
    const int blocksWide = (width + blockWidth - 1) / blockWidth;
    const int blocksHigh = (height + blockHeight - 1) / blockHeight;
    glDisable(GL_SCISSOR_TEST);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, blocksWide, blocksHigh);
    glUseProgram(program.Name());
    program.DrawFullScreen();
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);

    // Block row r of a plane goes to rows r, r + blockRows, ... of it.
    Slot& slot = slots[size_t((oldest + inFlight) % int(slots.size()))];
    glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (size_t k = 0; k < targets.size(); ++k) {
        const Target& t = targets[k];
        const Plane& p = planes[size_t(t.plane)];
        glReadBuffer(GLenum(GL_COLOR_ATTACHMENT0 + k));
        glPixelStorei(GL_PACK_ROW_LENGTH, p.texels * p.blockRows);
        glReadPixels(0, 0, blocksWide, blocksHigh, readFormat(t.texelBytes), GL_UNSIGNED_INT,
                     reinterpret_cast<void*>(p.offset + size_t(t.row) * p.rowBytes));
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    slot.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();  // a GPU starts on it now, while the CPU goes on
    ++inFlight;
    return true;
}

bool RgbaToPlanes::Collect(const PlanePointers& out, std::string& error) {
    if (inFlight == 0) {
        error = "no packed frame to collect";
        return false;
    }
    Slot& slot = slots[size_t(oldest)];
    GLenum waited = GL_TIMEOUT_EXPIRED;
    while (waited == GL_TIMEOUT_EXPIRED) waited = glClientWaitSync(slot.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 100000000);
    glDeleteSync(slot.fence);
    slot.fence = nullptr;
    oldest = (oldest + 1) % int(slots.size());
    --inFlight;
    if (waited == GL_WAIT_FAILED) {
        error = "the GL lost a frame being read back";
        return false;
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer);
    const auto* mapped = static_cast<const uint8_t*>(
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, GLsizeiptr(bufferBytes), GL_MAP_READ_BIT));
    if (mapped) {
        for (size_t i = 0; i < planes.size(); ++i) {
            const Plane& p = planes[i];
            const size_t bytes = size_t(p.samples) * size_t(p.sampleBytes);
            for (int row = 0; row < p.rows; ++row)
                std::memcpy(out.data[i] + size_t(row) * size_t(out.linesize[i]),
                            mapped + p.offset + size_t(row) * p.rowBytes, bytes);
        }
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (!mapped) {
        error = "the GL cannot map a frame read back";
        return false;
    }
    return true;
}

}  // namespace tessivar::gpu
