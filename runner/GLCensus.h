// GLCensus -- how many GL objects of each kind are alive in the current
// context, found by probing names (glIsTexture and friends), so it sees
// objects made by any code in the process, including a dlopen'd module.
//
// A name counts once it has been bound or created (glIsTexture answers false
// for a name that was generated but never bound: such a name holds nothing).
// Probing covers every name up to one above the highest name the driver hands
// out next, plus a wide margin, so it is exact whether the driver reuses freed
// names or keeps counting up.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace tessivar {

struct GLCensus {
    enum Kind { Texture, Framebuffer, Renderbuffer, Buffer, VertexArray, Program, Shader, kKinds };
    std::array<size_t, kKinds> live{};

    static GLCensus Take();
    static const char* Name(Kind kind);  // "textures", "framebuffers", ...
    // Empty when equal; otherwise "kind: before -> after" for each change.
    std::string Diff(const GLCensus& after) const;
};

}  // namespace tessivar
