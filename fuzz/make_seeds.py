#!/usr/bin/env python3
"""Writes the seed corpora in fuzz/corpus/<target>:

    fuzz/make_seeds.py [plugmain] [png] [media]      default: all three

plugmain: short call sequences a host makes, in the byte layout described in
PlugMainFuzz.h (run it again after changing that layout). png: small valid
PNGs of every colour type, depth and interlacing the reader expands. media:
small clips and sounds in the containers and codecs ffglrun meets most,
made with the ffmpeg tool. Inputs kept from findings live beside the seeds
and are left alone."""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)

LIVE, NULL_RECORD = 1, 2
LIFECYCLE = 0xF0                                 # FF_INSTANTIATE_GL really makes one
def inputs(n): return n << 2                     # FF_PROCESS_OPENGL input count
def through(v): return v << 4                    # FF_PROCESS_OPENGL host viewport (0..3)
def call(code, flags=0, *payload): return bytes([code, flags, *payload])
def viewport(w, h): return bytes([0, 0, w, h])
def setf(index, byte): return call(8, LIVE, index, 0, byte)   # index, empty text, float byte
def sett(index, text): return call(8, LIVE, index, len(text), *text.encode())
def u64(v=0): return v.to_bytes(8, "little")

seeds = {
    "lifecycle": call(18, LIFECYCLE, *viewport(64, 64)) + b"".join(setf(i, 30 + 5 * i) for i in range(12))
        + call(17, LIVE | inputs(1), 0) + call(46, LIVE, 0) + call(46, LIVE | 4, 8) + call(19, LIVE, *u64()),
    "queries": call(34) + call(4) + call(0, 0, *u64()) + call(13, 0, *u64()) + call(33, 0, 0)
        + b"".join(call(c, 0, i) for i in range(13) for c in (5, 6, 15, 31, 32, 41, 43, 45, 47))
        + b"".join(call(c, 0, i, 0) for i in range(13) for c in (35, 36, 44, 48))
        + b"".join(call(10, 0, cap) for cap in (5, 10, 11, 16, 4))
        + call(50, 0, 16, 0) + call(50, 0, 0, 1) + call(50, NULL_RECORD) + call(2, 0, *u64()) + call(2, 0, *u64()),
    "autofit": setf(9, 100) + b"".join(call(17, LIVE | inputs(1), 1) for _ in range(3))
        + call(46, LIVE | 4, 16) + b"".join(call(9, LIVE, i) for i in range(8)) + setf(10, 50) + setf(9, 0)
        + call(17, LIVE | inputs(1), 0) + call(23, LIVE, *viewport(32, 96)) + call(17, LIVE | inputs(1), 2)
        + call(7, LIVE, 3) + call(19, LIVE, *u64()),
    "inputs": call(17, LIVE) + call(17, LIVE | NULL_RECORD)
        + call(17, LIVE | inputs(2), 0, 1) + call(17, LIVE | inputs(2), 2, 2) + sett(12, "caption")
        + call(37, LIVE, 0, 3, 60) + call(17, LIVE | inputs(1), 2) + call(19, LIVE, *u64()),
    "host_calls": call(21, LIVE, *u64()) + call(20, LIVE, 8) + call(20, LIVE | NULL_RECORD)
        + call(38, LIVE, 50, 25) + call(39, LIVE, 4, *b"Host", 3, *b"1.0") + call(40, LIVE, 0x44) + call(49, LIVE, 16)
        + call(49, LIVE, 5) + call(16, LIVE, 0) + call(16, LIVE, 1) + call(22, LIVE, *u64())
        + call(42, 0) + call(42, NULL_RECORD) + call(18, LIFECYCLE, *viewport(0, 0)) + call(17, LIVE | inputs(1), 0)
        + call(19, LIVE, *u64()) + call(19, 0, *u64()),
    "viewports": setf(8, 100) + b"".join(call(17, LIVE | inputs(1) | through(v), v % 3) for v in range(4))
        + call(23, LIVE, *viewport(200, 30)) + b"".join(call(17, LIVE | inputs(1) | through(v), 0) for v in range(4)),
    "resident_removed": setf(0, 70) + call(17, LIVE | inputs(1), 0) + call(19, LIVE | LIFECYCLE, *u64())
        + call(17, LIVE | inputs(1), 0) + call(9, LIVE, 0),
    "refused_codes": b"".join(
        call(c, LIVE, *u64(0xDEADBEEF)) for c in (1, 3, 11, 12, 14, *range(24, 31), *range(51, 61)))
        + b"".join(call(c, 0, *u64()) for c in (7, 8, 9, 16, 17, 19, 20, 21, 22, 23, 37, 38, 39, 40, 46, 49)),
}



# ---- png ------------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def png(width, height, colour, depth, interlaced=False, palette=None, trns=None):
    """A PNG whose samples count up, each row (or pass row) with the next of
    the five filters, so every unfiltering path runs."""
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour]
    passes = ADAM7 if interlaced else [(0, 0, 1, 1)]
    raw, n = bytearray(), 0
    for x0, y0, dx, dy in passes:
        w, h = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        if w == 0 or h == 0:
            continue
        for _ in range(h):
            raw.append(n % 5)
            raw += bytes((n * 7 + i * 13) % 256 for i in range((w * channels * depth + 7) // 8))
            n += 1
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, int(interlaced)))
    if palette:
        out += chunk(b"PLTE", palette)
    if trns:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def png_seeds():
    palette = bytes((i * 50) % 256 for i in range(16 * 3))
    seeds = {
        "rgba8": png(3, 2, 6, 8),
        "rgb8": png(4, 4, 2, 8),
        "rgb8_trns": png(4, 3, 2, 8, trns=struct.pack(">HHH", 7, 20, 33)),
        "grey8": png(2, 2, 0, 8),
        "grey1": png(9, 3, 0, 1),
        "grey2_trns": png(5, 2, 0, 2, trns=struct.pack(">H", 1)),
        "grey4": png(3, 3, 0, 4),
        "grey_alpha8": png(2, 3, 4, 8),
        "palette4_trns": png(5, 5, 3, 4, palette=palette, trns=bytes([0, 128, 255])),
        "palette8": png(3, 1, 3, 8, palette=palette),
        "interlaced_rgba": png(9, 9, 6, 8, interlaced=True),
        "interlaced_grey1": png(10, 3, 0, 1, interlaced=True),
        "one_pixel": png(1, 1, 6, 8),
        "rgba16_refused": png(2, 2, 6, 16),
    }
    for name, data in seeds.items():
        write("png", name, data)


# ---- media ------------------------------------------------------------------

# name: ffmpeg arguments after the inputs. Pictures are 16x16 (odd sizes where
# a codec allows them), a few frames; sounds a fraction of a second.
CLIPS = {
    "h264.mp4": ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-frames:v", "3"],
    "h264_aac.mp4": ["-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-frames:v", "2",
                     "-c:a", "aac", "-b:a", "32k"],
    "ffv1.mkv": ["-c:v", "ffv1", "-pix_fmt", "bgra", "-frames:v", "2"],
    "vp9_alpha.webm": ["-c:v", "libvpx-vp9", "-pix_fmt", "yuva420p", "-deadline", "realtime", "-frames:v", "2"],
    "vp8_vorbis.webm": ["-c:v", "libvpx", "-deadline", "realtime", "-frames:v", "2", "-c:a", "libvorbis"],
    "prores.mov": ["-c:v", "prores_ks", "-profile:v", "4444", "-pix_fmt", "yuva444p10le", "-frames:v", "1"],
    "mjpeg.avi": ["-c:v", "mjpeg", "-pix_fmt", "yuvj422p", "-frames:v", "2"],
    "mpeg2.ts": ["-c:v", "mpeg2video", "-frames:v", "3", "-c:a", "mp2"],
    "mpeg4.mkv": ["-c:v", "mpeg4", "-frames:v", "3"],
    "gif.gif": ["-frames:v", "2"],
    "png.mov": ["-c:v", "png", "-frames:v", "1"],
    "raw.nut": ["-c:v", "rawvideo", "-pix_fmt", "rgb24", "-s", "5x3", "-frames:v", "2"],
    "pcm.wav": ["-vn", "-c:a", "pcm_s16le"],
    "flac.mka": ["-vn", "-c:a", "flac"],
    "mp3.mp3": ["-vn", "-c:a", "libmp3lame", "-b:a", "32k"],
    "opus.ogg": ["-vn", "-c:a", "libopus", "-b:a", "16k"],
}


def media_seeds():
    with tempfile.TemporaryDirectory() as tmp:
        for name, args in CLIPS.items():
            out = os.path.join(tmp, name)
            cmd = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=16x16:rate=10",
                   "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=8000:duration=0.25",
                   "-map", "0:v?", "-map", "1:a?", *args, "-shortest", "-fflags", "+bitexact",
                   "-flags:v", "+bitexact", "-flags:a", "+bitexact", out]
            if "-c:a" not in args and "-vn" not in args:
                cmd.insert(-1, "-an")
            subprocess.run(cmd, check=True)
            write("media", name, open(out, "rb").read())


def plugmain_seeds():
    for name, data in seeds.items():
        write("plugmain", name, data)


if __name__ == "__main__":
    chosen = sys.argv[1:] or ["plugmain", "png", "media"]
    for target in chosen:
        {"plugmain": plugmain_seeds, "png": png_seeds, "media": media_seeds}[target]()
