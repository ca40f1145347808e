#!/usr/bin/env python3
"""Writes the seed corpus: short call sequences a host makes, in the byte
layout described in PlugMainFuzz.h. Run it again after changing that layout."""
import os

LIVE, NULL_RECORD = 1, 2
def inputs(n): return n << 2                     # FF_PROCESS_OPENGL input count
def call(code, flags=0, *payload): return bytes([code, flags, *payload])
def viewport(w, h): return bytes([0, 0, w, h])
def setf(index, byte): return call(8, LIVE, index, 0, byte)   # index, empty text, float byte
def sett(index, text): return call(8, LIVE, index, len(text), *text.encode())
def u64(v=0): return v.to_bytes(8, "little")

seeds = {
    "lifecycle": call(18, 0, *viewport(64, 64)) + b"".join(setf(i, 30 + 5 * i) for i in range(12))
        + call(17, LIVE | inputs(1), 0) + call(46, LIVE, 0) + call(46, LIVE | 4, 8) + call(19, LIVE, *u64()),
    "queries": call(34) + call(4) + call(0, 0, *u64()) + call(13, 0, *u64()) + call(33, 0, 0)
        + b"".join(call(c, 0, i) for i in range(13) for c in (5, 6, 15, 31, 32, 41, 43, 45, 47))
        + b"".join(call(c, 0, i, 0) for i in range(13) for c in (35, 36, 44, 48))
        + b"".join(call(10, 0, cap) for cap in (5, 10, 11, 16, 4))
        + call(50, 0, 16, 0) + call(50, 0, 0, 1) + call(50, NULL_RECORD) + call(2, 0, *u64()) + call(2, 0, *u64()),
    "autofit": call(18, 0, *viewport(64, 64)) + setf(9, 100) + b"".join(call(17, LIVE | inputs(1), 1) for _ in range(3))
        + call(46, LIVE | 4, 16) + b"".join(call(9, LIVE, i) for i in range(8)) + setf(10, 50) + setf(9, 0)
        + call(17, LIVE | inputs(1), 0) + call(23, LIVE, *viewport(32, 96)) + call(17, LIVE | inputs(1), 2)
        + call(7, LIVE, 3) + call(19, LIVE, *u64()),
    "inputs": call(18, 0, *viewport(64, 64)) + call(17, LIVE) + call(17, LIVE | NULL_RECORD)
        + call(17, LIVE | inputs(2), 0, 1) + call(17, LIVE | inputs(2), 2, 2) + sett(12, "caption")
        + call(37, LIVE, 0, 3, 60) + call(17, LIVE | inputs(1), 2) + call(19, LIVE, *u64()),
    "host_calls": call(18, 0, *viewport(16, 16)) + call(21, LIVE, *u64()) + call(20, LIVE, 8) + call(20, LIVE | NULL_RECORD)
        + call(38, LIVE, 50, 25) + call(39, LIVE, 4, *b"Host", 3, *b"1.0") + call(40, LIVE, 0x44) + call(49, LIVE, 16)
        + call(49, LIVE, 5) + call(16, LIVE, 0) + call(16, LIVE, 1) + call(22, LIVE, *u64())
        + call(42, 0) + call(42, NULL_RECORD) + call(18, 0, *viewport(0, 0)) + call(17, LIVE | inputs(1), 0)
        + call(19, LIVE, *u64()) + call(19, 0, *u64()),
    "refused_codes": call(18, 0, *viewport(8, 8)) + b"".join(
        call(c, LIVE, *u64(0xDEADBEEF)) for c in (1, 3, 11, 12, 14, *range(24, 31), *range(51, 61)))
        + b"".join(call(c, 0, *u64()) for c in (7, 8, 9, 16, 17, 19, 20, 21, 22, 23, 37, 38, 39, 40, 46, 49)),
}

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(out, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
