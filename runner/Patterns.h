// Patterns -- input pictures made in-process, so a render needs no files.
//
//   gradient    red grows left to right, green top to bottom: a pixel's colour
//               names its position, which makes warps easy to probe
//   checker     eight-by-eight squares in two greys with coloured corners
//   grid        thin white lines every eighth over a dark blue ground
//   alpha-bars  a 4:3 picture (gradient under a grid) centred on a transparent
//               canvas: the side bars (or top and bottom bars on a tall canvas)
//               are fully transparent, which the Tessivar auto-fit detects
//   clear       fully transparent
#pragma once

#include "runner/GLFrame.h"

#include <string>
#include <vector>

namespace tessivar {

const std::vector<std::string>& PatternNames();
// False (with one line) for an unknown name.
bool MakePattern(const std::string& name, uint32_t width, uint32_t height, Image& out, std::string& error);

}  // namespace tessivar
