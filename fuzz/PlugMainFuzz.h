// PlugMainFuzz -- turns bytes into a sequence of plugMain calls, the way a
// careless but honest host would make them.
//
// Honest: every record is complete and every pointer valid, except where the
// interface says the plugin checks for null (codes 17, 18, 20, 42 and 50);
// the instance identifier is a live instance or null, never a stale one;
// texts are zero-terminated; buffers are as large as the host says; the
// input textures are real, with the sizes their records state; the GL
// context is current and one of the host's framebuffers is bound. Careless:
// everything else comes from the bytes, including codes nobody defined,
// indices out of range, zero viewports and calls in any order.
//
// Fast: one resident instance lives across inputs (made anew every thousand
// inputs, or after an input removed it) and is put back to its defaults
// before each input; frames are 32x32. An input makes an instance of its
// own only when the flags of its FF_INSTANTIATE_GL say so (bits 4-7 all
// set); that instance takes the calls until the input ends, which removes
// it. Without those bits FF_INSTANTIATE_GL goes without a record, and
// FF_DEINSTANTIATE_GL of the resident instance without an instance.
//
// After every call the host checks what it may rely on: the GL state a host
// expects back (GLStateSnapshot), no GL error left queued, and answers that
// point at readable texts and records. Any breach aborts, so libFuzzer (or
// the replay runner) reports it with the input that caused it.
//
// Input layout, repeated until the bytes run out (missing bytes read as 0):
//   byte 0   function code, taken modulo 61 (0..60)
//   byte 1   flags: bit 0 pass the live instance (else null), bit 1 pass a
//            null record where null is allowed, bits 2-7 code-specific
//   then     the payload the code needs (indices, floats, sizes, texts)
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
