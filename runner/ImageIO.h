// ImageIO -- PNG files and raw RGBA streams for the runner.
//
// PNGs are read with libpng into RGBA8 (palette, grey and low bit depths are
// expanded, a missing alpha channel becomes opaque). 16 bits per channel are
// refused rather than silently cut to 8. Writing goes to a temporary file in
// the same folder that is renamed into place only when complete, so a failed
// run never leaves a half-written picture behind.
//
// Raw streams carry frames of width * height * 4 bytes, RGBA, top row first:
// what `ffmpeg -f rawvideo -pix_fmt rgba` reads and writes.
//
// Every failure answers false and one line naming the file and the problem.
#pragma once

#include "runner/GLFrame.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace tessivar {

// A PNG's text fields (tEXt chunks, Latin-1), keyword to text: the goldens
// carry the renderer they were made on in one.
using PngText = std::map<std::string, std::string>;

bool ReadPng(const std::string& path, Image& out, std::string& error, PngText* text = nullptr);
// The same from a file held in memory; `name` stands for it in messages.
bool ReadPngBytes(const uint8_t* data, size_t size, const std::string& name, Image& out, std::string& error);
// A 16-bit image is written at 8 bits a channel, rounded.
bool WritePng(const std::string& path, const Image& image, std::string& error, const PngText& text = {});

// Writes `bytes` to `path` through a temporary file and a rename.
bool WriteFileAtomically(const std::string& path, const void* bytes, size_t size, std::string& error);

enum class RawRead { Frame, End, Short };
// Reads one whole frame into `frame` (already sized). End: the stream ended
// cleanly between frames. Short: it ended inside a frame; `got` says how many
// bytes of it arrived.
RawRead ReadRawFrame(std::FILE* in, Image& frame, size_t& got);
// False when the reader went away or the stream failed.
bool WriteRawFrame(std::FILE* out, const Image& frame);

// "1920x1080" -> 1920, 1080. Both between 1 and 16384.
bool ParseSize(const std::string& text, uint32_t& width, uint32_t& height);

}  // namespace tessivar
