#include "runner/media/gpu/RgbaToPlanes.h"

#include "gl/GLIncludes.h"

#include <cstring>

namespace tessivar::gpu {
namespace {

// Samples of a plane row packed into one texel (a packed RGBA plane: one
// pixel per texel).
constexpr int kGroup = 4;

const char* kPackFragment = R"(
uniform sampler2D picture;  // RGBA, rows bottom-up
uniform ivec2 size;
uniform mat3 toYuv;
uniform vec3 valueScale;
uniform vec3 valueOffset;
uniform float largest;      // 2^bits - 1
uniform float storageMax;   // 255 or 65535

vec4 pixel(ivec2 p) {
    p = min(p, size - 1);   // samples past the right or bottom edge repeat it
    vec4 c = texelFetch(picture, ivec2(p.x, size.y - 1 - p.y), 0);
#ifdef OVER_BLACK
    c = vec4(c.rgb * c.a, 1.0);
#endif
    return c;
}

// A sample value, rounded, as the normalized target stores it exactly.
float stored(float value) { return floor(clamp(value, 0.0, largest) + 0.5) / storageMax; }

#ifdef PACKED
layout(location = 0) out vec4 outPixel;
void main() {
    vec4 c = pixel(ivec2(gl_FragCoord.xy));
#ifdef BGRA
    c = c.bgra;
#endif
    outPixel = c;
}
#else
#ifdef OUT_Y
layout(location = OUT_Y) out vec4 outY;
#endif
#ifdef OUT_U
layout(location = OUT_U) out vec4 outU;
layout(location = OUT_V) out vec4 outV;
#endif
#ifdef OUT_A
layout(location = OUT_A) out vec4 outA;
#endif

// The mean colour of the pixels chroma sample s covers.
vec3 block(ivec2 s) {
    vec3 sum = vec3(0.0);
    for (int dy = 0; dy < (1 << SHIFT_Y); ++dy)
        for (int dx = 0; dx < (1 << SHIFT_X); ++dx)
            sum += pixel(ivec2((s.x << SHIFT_X) + dx, (s.y << SHIFT_Y) + dy)).rgb;
    return sum / float((1 << SHIFT_X) * (1 << SHIFT_Y));
}

void main() {
    // This texel holds samples 4x .. 4x + 3 of row y, top row first.
    ivec2 t = ivec2(gl_FragCoord.xy);
    vec4 y = vec4(0.0), u = vec4(0.0), v = vec4(0.0), a = vec4(0.0);
    for (int i = 0; i < 4; ++i) {
        ivec2 s = ivec2(t.x * 4 + i, t.y);
#if defined(OUT_Y) || defined(OUT_A)
        vec4 c = pixel(s);
        y[i] = stored(dot(vec3(toYuv[0][0], toYuv[1][0], toYuv[2][0]), c.rgb) * valueScale.x + valueOffset.x);
        a[i] = stored(c.a * largest);
#endif
#ifdef OUT_U
#if defined(OUT_Y) && SHIFT_X == 0 && SHIFT_Y == 0
        vec3 yuv = toYuv * c.rgb;
#else
        vec3 yuv = toYuv * block(s);
#endif
        u[i] = stored(yuv.y * valueScale.y + valueOffset.y);
        v[i] = stored(yuv.z * valueScale.z + valueOffset.z);
#endif
    }
#ifdef OUT_Y
    outY = y;
#endif
#ifdef OUT_U
    outU = u;
    outV = v;
#endif
#ifdef OUT_A
    outA = a;
#endif
}
#endif
)";

}  // namespace

// One plane's packed texture and where its rows go in a pixel buffer.
struct RgbaToPlanes::Target {
    unsigned texture = 0;
    int texels = 0, rows = 0;  // the texture's size
    int texelBytes = 4;        // 4, or 8 for 16-bit channels
    size_t offset = 0;         // in each pixel buffer
    int sampleBytes = 1;       // of the plane in memory (a packed plane: 4)
    int samples = 0;           // of a plane row
    size_t RowBytes() const { return size_t(texels) * size_t(texelBytes); }
};

// One shader pass: a program drawing into the targets of some planes.
struct RgbaToPlanes::Pass {
    GLProgram program;
    unsigned framebuffer = 0;
    std::vector<int> planes;  // attachment i holds plane planes[i]
    int width = 0, height = 0;
    ~Pass() {
        if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    }
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
    passes.clear();
    for (Target& t : targets)
        if (t.texture) glDeleteTextures(1, &t.texture);
    targets.clear();
    oldest = inFlight = 0;
    bufferBytes = 0;
}

bool RgbaToPlanes::Create(const PixelLayout& l, bool composite, int w, int h, int depth, std::string& error) {
    Release();
    if (!l.Planar() && l.Wide()) {
        error = "packed RGBA output of more than 8 bits is converted on the CPU";
        return false;
    }
    layout = l;
    overBlack = composite;
    width = w;
    height = h;
    if (!MakeTargets(error)) return false;
    bool made = true;
    if (!layout.Planar())
        made = MakePass({0}, false, error);
    else if (!layout.Subsampled())
        made = MakePass(layout.alpha ? std::vector<int>{0, 1, 2, 3} : std::vector<int>{0, 1, 2}, false, error);
    else
        made = MakePass(layout.alpha ? std::vector<int>{0, 3} : std::vector<int>{0}, false, error) &&
               MakePass({1, 2}, true, error);
    if (!made) return false;

    slots.resize(size_t(depth < 1 ? 1 : depth));
    for (Slot& s : slots) {
        glGenBuffers(1, &s.buffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, s.buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(bufferBytes), nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    return true;
}

bool RgbaToPlanes::MakeTargets(std::string& error) {
    const bool planar = layout.Planar();
    for (int i = 0; i < layout.Planes(); ++i) {
        Target t;
        t.samples = layout.PlaneWidth(i, width);
        t.rows = layout.PlaneHeight(i, height);
        t.texels = planar ? (t.samples + kGroup - 1) / kGroup : t.samples;
        t.texelBytes = layout.Wide() ? 8 : 4;
        t.sampleBytes = layout.BytesPerSample();
        t.offset = bufferBytes;
        bufferBytes += t.RowBytes() * size_t(t.rows);
        glGenTextures(1, &t.texture);
        glBindTexture(GL_TEXTURE_2D, t.texture);
        glTexImage2D(GL_TEXTURE_2D, 0, layout.Wide() ? GL_RGBA16 : GL_RGBA8, t.texels, t.rows, 0, GL_RGBA,
                     layout.Wide() ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        targets.push_back(t);
        if (!t.texture) {
            error = "cannot create a " + std::to_string(t.texels) + "x" + std::to_string(t.rows) + " plane target";
            return false;
        }
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

std::string RgbaToPlanes::FragmentSource(const std::vector<int>& planes, bool chroma) const {
    std::string defines = "#version 410 core\n";
    if (overBlack) defines += "#define OVER_BLACK\n";
    if (!layout.Planar()) {
        defines += "#define PACKED\n";
        if (layout.kind == PixelLayout::Kind::Bgra) defines += "#define BGRA\n";
    }
    const char* names[4] = {"OUT_Y", "OUT_U", "OUT_V", "OUT_A"};
    for (size_t i = 0; i < planes.size(); ++i)
        defines += "#define " + std::string(names[planes[i]]) + " " + std::to_string(i) + "\n";
    defines += "#define SHIFT_X " + std::to_string(chroma ? layout.chromaShiftX : 0) + "\n";
    defines += "#define SHIFT_Y " + std::to_string(chroma ? layout.chromaShiftY : 0) + "\n";
    return defines + kPackFragment;
}

bool RgbaToPlanes::MakePass(const std::vector<int>& planes, bool chroma, std::string& error) {
    auto pass = std::make_unique<Pass>();
    pass->planes = planes;
    pass->width = targets[size_t(planes[0])].texels;
    pass->height = targets[size_t(planes[0])].rows;
    if (!pass->program.Create(GLProgram::FullScreenVertex(), FragmentSource(planes, chroma),
                              "the RGBA to " + layout.Describe() + " shader", error))
        return false;
    const YuvCoefficients c = Coefficients(layout);
    const GLuint program = pass->program.Name();
    glUseProgram(program);
    glUniform1i(pass->program.Uniform("picture"), 0);
    glUniform2i(pass->program.Uniform("size"), width, height);
    glUniformMatrix3fv(pass->program.Uniform("toYuv"), 1, GL_FALSE, c.toYuv.data());
    glUniform3fv(pass->program.Uniform("valueScale"), 1, c.valueScale.data());
    glUniform3fv(pass->program.Uniform("valueOffset"), 1, c.valueOffset.data());
    glUniform1f(pass->program.Uniform("largest"), c.alphaMax);
    glUniform1f(pass->program.Uniform("storageMax"), c.storageMax);
    glUseProgram(0);

    glGenFramebuffers(1, &pass->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, pass->framebuffer);
    std::vector<GLenum> buffers;
    for (size_t i = 0; i < planes.size(); ++i) {
        const GLenum attachment = GLenum(GL_COLOR_ATTACHMENT0 + i);
        glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, targets[size_t(planes[i])].texture, 0);
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
    passes.push_back(std::move(pass));
    return true;
}

bool RgbaToPlanes::Pack(unsigned texture) {
    if (inFlight == int(slots.size())) return false;
    glDisable(GL_SCISSOR_TEST);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (const auto& pass : passes) {
        glBindFramebuffer(GL_FRAMEBUFFER, pass->framebuffer);
        glViewport(0, 0, pass->width, pass->height);
        glUseProgram(pass->program.Name());
        pass->program.DrawFullScreen();
    }
    glUseProgram(0);
    glBindTexture(GL_TEXTURE_2D, 0);

    Slot& slot = slots[size_t((oldest + inFlight) % int(slots.size()))];
    glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (const auto& pass : passes) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, pass->framebuffer);
        for (size_t i = 0; i < pass->planes.size(); ++i) {
            const Target& t = targets[size_t(pass->planes[i])];
            glReadBuffer(GLenum(GL_COLOR_ATTACHMENT0 + i));
            glReadPixels(0, 0, t.texels, t.rows, GL_RGBA, layout.Wide() ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE,
                         reinterpret_cast<void*>(t.offset));
        }
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    slot.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();  // a GPU starts on it now, while the CPU goes on
    ++inFlight;
    return true;
}

bool RgbaToPlanes::Collect(const PlanePointers& planes, std::string& error) {
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
    const auto* mapped =
        static_cast<const uint8_t*>(glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, GLsizeiptr(bufferBytes), GL_MAP_READ_BIT));
    if (mapped) {
        for (size_t p = 0; p < targets.size(); ++p) {
            const Target& t = targets[p];
            const size_t bytes = size_t(t.samples) * size_t(t.sampleBytes);
            for (int row = 0; row < t.rows; ++row)
                std::memcpy(planes.data[p] + size_t(row) * size_t(planes.linesize[p]),
                            mapped + t.offset + size_t(row) * t.RowBytes(), bytes);
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
