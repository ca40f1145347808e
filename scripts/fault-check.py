#!/usr/bin/env python3
"""Measures what the test suite catches: injects realistic faults into the
code, one at a time, rebuilds, runs the suite and records which tests fail.

    scripts/fault-check.py                  every fault, whole suite
    scripts/fault-check.py effect-yflip ... only the named faults (or prefixes)
    scripts/fault-check.py --list           the faults, and whether each applies
    scripts/fault-check.py --out FILE       also write the result table to FILE
    scripts/fault-check.py --no-baseline    skip the first whole-suite run

Each fault replaces one distinctive piece of code that must occur exactly
once in its file; a fault that no longer applies (the code moved or changed)
is reported and makes the run fail, so the list is kept up to date rather
than silently measuring nothing. The file is restored after every fault,
also when the run is interrupted, and the build is brought back in step at
the end. Uses the default preset's build tree (configure it first); extra
arguments after -- go to ctest (for instance -- -j2).

After a fault, only the tests whose program or modules the rebuild changed
are run (the others cannot see it); --all-tests runs the whole suite.

A fault the build itself refuses (a layout pin, a warning) counts as caught
by the build. A test whose command names source files or folders (the GL
table check, the ASCII check) runs when the fault is in one of them.

A fault may name its own check instead (a fifth field): a command that must
fail with the fault in, for what the suite does not build (the macOS bundles:
scripts/build-macos.sh; newer FFmpeg headers: scripts/ffmpeg-header-check.sh).
Such checks run again at the end, fault-free.

The last measured table is kept in scripts/fault-check.txt.
"""
import json
import os
import re
import signal
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "default")

MACOS = ["scripts/build-macos.sh"]
# Newer FFmpeg than the one installed: its headers, fetched and cached.
FFMPEG_HEADERS = ["scripts/ffmpeg-header-check.sh"]
# Windows, under Wine: the tests that name files past ASCII and replace goldens.
WINE = ["scripts/test-windows.sh", "-R", "^Cli\\.(Paths|Goldens)"]
# Windows, under Wine: an interrupted run; a clip spelled another way; the
# preview's module copies.
WINE_INTERRUPT = ["scripts/test-windows.sh", "-R", "^Cli\\.AnInterrupted"]
WINE_SPELLINGS = ["scripts/test-windows.sh", "-R", "^Cli\\.AnInputSpelled"]
WINE_PREVIEW_BUILD = ["scripts/test-windows.sh", "-R", "^PreviewBuild\\."]

# id, file, the code as it is, the code with the fault[, the command that must fail]
FAULTS = [
    # host/
    ("host-event-capacity", "host/FFGLPluginManager.cpp",
     "if (count >= maxEvents) break;", "if (count > maxEvents) break;"),
    ("host-first-frame-no-connect", "host/FFGL.cpp",
     "            instance->Connect();\n            Access::Connected(*instance) = true;",
     "            Access::Connected(*instance) = true;"),
    ("host-display-cut-dot-kept", "host/FFGLPlugin.cpp",
     "if (text[room - 1] == '.') text[room - 1] = '\\0';", ""),
    ("host-record-field-order", "host/FFGLABI.h",
     "    float min; /* written by the plugin */\n    float max; /* written by the plugin */",
     "    float max; /* written by the plugin */\n    float min; /* written by the plugin */"),
    ("host-range-fields-swapped", "host/FFGL.cpp",
     "    range.min = r.min;\n    range.max = r.max;", "    range.min = r.max;\n    range.max = r.min;"),
    ("host-thumbnail-size-swapped", "host/FFGLThumbnail.cpp",
     "    query.width = thumb->GetWidth();\n    query.height = thumb->GetHeight();",
     "    query.width = thumb->GetHeight();\n    query.height = thumb->GetWidth();"),
    # gl/
    ("gl-read-framebuffer-not-restored", "gl/FFGLScopedBindings.cpp",
     "    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(previousReadFBO));\n", ""),
    ("gl-quad-flip-inverted", "gl/FFGLScreenQuad.cpp",
     "flipped ? FLIPPED_TEXTURED_QUAD_VERTICES : TEXTURED_QUAD_VERTICES",
     "flipped ? TEXTURED_QUAD_VERTICES : FLIPPED_TEXTURED_QUAD_VERTICES"),
    ("gl-fbo-texture-leak", "gl/FFGLFBO.cpp",
     "if (colorTextureID != 0) glDeleteTextures(1, &colorTextureID);", ""),
    ("gl-log-to-stderr", "gl/FFGLUtilities.cpp",
     'std::printf("%s", line.c_str());', 'std::fprintf(stderr, "%s", line.c_str());'),
    ("gl-api-enum-value", "gl/GLApi.h",
     "#define GL_COLOR_ATTACHMENT0              0x8CE0", "#define GL_COLOR_ATTACHMENT0              0x8CE1"),
    ("gl-api-enum-past-4-1", "gl/GLApi.h",
     "#define GL_GEOMETRY_SHADER                0x8DD9",
     "#define GL_GEOMETRY_SHADER                0x8DD9\n#define GL_DEBUG_OUTPUT                   0x92E0"),
    ("gl-api-pointer-signature", "gl/GLApi.h",
     "*PFNGLUNIFORM1IPROC)(GLint location, GLint v0)", "*PFNGLUNIFORM1IPROC)(GLint location, GLuint v0)"),
    # effect/
    ("effect-homography-sign", "effect/Homography.cpp",
     "h = (dx1 * sy - sx * dy1) / den;", "h = (dx1 * sy + sx * dy1) / den;"),
    ("effect-yflip-dropped", "effect/CornerPin.cpp",
     "canvasUV = vec2(vUV.x, 1.0 - vUV.y);", "canvasUV = vec2(vUV.x, vUV.y);"),
    ("effect-guide-colour", "effect/CornerPin.cpp",
     "vec4(0.204, 0.780, 0.349, 1.0)", "vec4(0.204, 0.780, 0.394, 1.0)"),
    ("effect-opaque-threshold", "effect/AlphaBounds.cpp",
     "while (first < width && row[first * 4] <= threshold) ++first;",
     "while (first < width && row[first * 4] < threshold) ++first;"),
    ("effect-attempts", "effect/CornerPin.cpp",
     "kMaxDetectAttempts = 30;", "kMaxDetectAttempts = 31;"),
    ("effect-event-flag", "effect/CornerPin.cpp",
     "RaiseParamEvent(i, FF_EVENT_FLAG_VALUE);", "RaiseParamEvent(i, 1);"),
    ("effect-guides-default", "effect/CornerPin.cpp",
     'SetParamInfo(kShowGuides, "Show Guides", FF_TYPE_BOOLEAN, true);',
     'SetParamInfo(kShowGuides, "Show Guides", FF_TYPE_BOOLEAN, false);'),
    ("effect-split-scissor-left-on", "effect/CornerPin.cpp",
     "    if (!target.scissor) glDisablei(GL_SCISSOR_TEST, 0);\n", ""),
    ("effect-fitted-clear-dropped", "effect/CornerPin.cpp",
     "        glClearBufferfv(GL_COLOR, 0, transparentBlack);\n", "        (void)transparentBlack;\n"),
    ("effect-fitted-keep-under-multiply", "effect/HostTarget.cpp",
     "value != GL_ONE_MINUS_SRC_COLOR", "value != GL_ZERO"),
    ("effect-fitted-one-side-of-the-horizon", "effect/WarpRegion.cpp",
     "    region.sides[1][4] = (-z).Plus(-depthFloor);", "    region.sides[1][4] = {0, 0, -1};"),
    ("effect-fitted-columns-rounded-inward", "effect/WarpRegion.cpp",
     "    x0 = int(std::floor(lo)) - 1;\n    x1 = int(std::ceil(hi)) + 1;",
     "    x0 = int(std::ceil(lo));\n    x1 = int(std::floor(hi));"),
    ("effect-fitted-depth-floor", "effect/WarpRegion.cpp", "0.999e-7 - rounding", "0.9e-7 - rounding"),
    ("effect-whole-input-padded", "effect/CornerPin.cpp",
     "sourceMax[1] == 1.0f && input.Width == input.HardwareWidth &&\n                            input.Height == input.HardwareHeight;",
     "sourceMax[1] == 1.0f;"),
    ("effect-analysis-scissor-every-viewport", "effect/CornerPin.cpp",
     "if (scissor) glEnablei(GL_SCISSOR_TEST, 0);", "if (scissor) glEnable(GL_SCISSOR_TEST);"),
    ("effect-padding-height", "effect/CornerPin.cpp",
     "float(input.Height) / float(input.HardwareHeight)", "float(input.Height) / float(input.HardwareWidth)"),
    # the GL-free math, tested without a context
    ("effect-homography-singular-accepted", "effect/Homography.cpp",
     "if (!(std::fabs(det) >= kHomographyEpsilon)) return false;", "if (std::isnan(det)) return false;"),
    ("effect-split-right-edge-dropped", "effect/GuideRegions.cpp",
     "        emit(x, area.x1, y0, y1, false);\n", ""),
    ("effect-opaque-last-column-skipped", "effect/AlphaBounds.cpp",
     "int last = width - 1;", "int last = width - 2;"),
    ("effect-box-rect-rows-not-flipped", "effect/AlphaBounds.cpp",
     "1.0f - float(box.maxY + 1) / h", "float(box.minY) / h"),
    # the warp programs' uniforms and the markers' reach in the shader
    ("effect-guide-uniforms-unsent", "effect/CornerPin.cpp",
     "    if (program.guides) SendGuideUniforms();\n", ""),
    ("effect-marker-reach-not-the-regions", "effect/CornerPin.cpp",
     '"MARKER_REACH", glslFloat(tessivar::kMarkerReach)', '"MARKER_REACH", glslFloat(tessivar::kMarkerReach + 4.0)'),
    ("effect-glsl-not-ascii", "effect/CornerPin.cpp",
     "in vec3 projected;  // InverseHomography * (canvasUV, 1)",
     "in vec3 projected;  // InverseHomography \u00b7 (canvasUV, 1)"),
    # quickstart/
    ("qs-option-rounded", "quickstart/FFGLParams.cpp",
     "const size_t index = inList ? static_cast<size_t>(v) : 0;",
     "const size_t index = inList ? static_cast<size_t>(v + 0.5f) : 0;"),
    ("qs-audio-high-band", "quickstart/FFGLAudio.cpp", "if (i > u)", "if (i >= u)"),
    ("qs-hue-colour-channels", "quickstart/FFGLQuickstartPlugin.cpp",
     "program.Set(name, r, g, b, params[pos + 3]->GetValue());",
     "program.Set(name, r, b, g, params[pos + 3]->GetValue());"),
    # runner/
    ("runner-png-rows-reversed", "runner/ImageIO.cpp",
     "for (uint32_t y = 0; y < image.height; ++y) s.rows[y] = image.At(0, y);",
     "for (uint32_t y = 0; y < image.height; ++y) s.rows[y] = image.At(0, image.height - 1 - y);"),
    ("runner-usage-error-to-stdout", "runner/ffglrun.cpp",
     'std::fprintf(stderr, "ffglrun: %s (see ffglrun --help)\\n", e.what());',
     'std::fprintf(stdout, "ffglrun: %s (see ffglrun --help)\\n", e.what());'),
    ("runner-png-inflation-bound-tight", "runner/ImageIO.cpp",
     "constexpr uint64_t kMaxInflation = 1032;", "constexpr uint64_t kMaxInflation = 1000;"),
    ("runner-png-file-size-unknown", "runner/ImageIO.cpp",
     "if (end >= long(got)) size = uint64_t(end);", "(void)end;"),
    ("runner-rotation-singular-matrix", "runner/media/Upright.cpp",
     "    if (!std::isfinite(angle)) return 0;\n", ""),
    ("runner-memory-seek-relative", "runner/media/MemoryIO.cpp",
     "case SEEK_SET: base = 0; break;", "case SEEK_SET: base = b->pos; break;"),
    ("runner-soak-cache-one-class", "runner/platform/HeapUsageGlibc.cpp",
     "held[c][i] = take(24 + 16 * c);", "held[c][i] = take(24);"),
    ("runner-soak-jump-hides-growth", "runner/commands/Soak.cpp",
     "excused += rises[i] - usual;", "excused += rises[i] - 0 * usual;"),
    ("runner-option-position-from-one", "runner/ParamSetting.cpp",
     "chosen = &p->elements[size_t(position)];",
     "chosen = &p->elements[size_t(position) > 0 ? size_t(position) - 1 : 0];"),
    ("runner-golden-rename-refuses", "runner/commands/render/Golden.cpp",
     "if (!MoveOnto(staged[i].first, staged[i].second, why)) {",
     "if (std::rename(staged[i].first.c_str(), staged[i].second.c_str()) != 0 && (why = \"exists\", true)) {",
     WINE),
    ("runner-windows-narrow-library-name", "runner/platform/LibraryWin32.cpp",
     "LoadLibraryExW(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)",
     "LoadLibraryExA(Narrow(full).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)", WINE),
    ("runner-windows-narrow-file-name", "runner/platform/PathsWin32.cpp",
     "return _wfopen(Widen(path).c_str(), Widen(mode).c_str());", "return std::fopen(path.c_str(), mode);", WINE),
    ("runner-windows-narrow-arguments", "runner/platform/PathsWin32.cpp",
     "    if (!wide || count != argc) {", "    if (wide || count != argc) {", WINE),
    ("runner-windows-ctrl-c-not-caught", "runner/platform/InterruptWin32.cpp",
     "if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;",
     "if (type != CTRL_BREAK_EVENT) return FALSE;", WINE_INTERRUPT),
    ("runner-windows-output-compared-by-spelling", "runner/commands/CommandLine.cpp",
     "fs::equivalent(fs::u8path(For(0)), fs::u8path(input), ec);",
     "fs::absolute(fs::u8path(For(0)), ec).lexically_normal() == fs::absolute(fs::u8path(input), ec).lexically_normal();",
     WINE_SPELLINGS),
    ("preview-windows-copy-narrow-name", "runner/preview/ModuleBuild.cpp",
     "const fs::path original = fs::u8path(path);", "const fs::path original(path);", WINE_PREVIEW_BUILD),
    ("runner-crash-guard-no-signal-stack", "runner/platform/CrashGuardPosix.cpp",
     "    (void)t_altStack.memory;\n", ""),
    ("runner-crash-guard-kept-after-exception", "runner/platform/CrashGuardPosix.cpp",
     "        } catch (...) {\n            t_guard = outer;\n", "        } catch (...) {\n"),
    ("runner-crash-guard-unguarded-files-kept", "runner/platform/CrashGuardPosix.cpp",
     "    crashguard::RemoveRemembered();\n", ""),
    ("runner-hint-keyword-missed", "runner/UniformNames.cpp", '"patch",\n    "sample",', '"patch",\n'),
    ("runner-hint-mixer-names-for-effects", "runner/UniformNames.cpp",
     "info.type == FF_MIXER    ? kMixerNames", "info.type != FF_MIXER    ? kMixerNames"),
    ("runner-set-cut-name-any-prefix", "runner/Module.cpp",
     "if (p.name.size() != kFieldLength || p.name != head) continue;",
     "if (key.compare(0, p.name.size(), p.name) != 0) continue;"),
    ("runner-check-rows-after-crash-dropped", "runner/commands/CheckCommand.cpp",
     "    if (report.crashed) continueInChildren(", "    if (false) continueInChildren("),
    ("runner-set-index-range-one-past", "runner/ParamSetting.cpp",
     '0 to " + std::to_string(count - 1)', '0 to " + std::to_string(count)'),
    ("runner-set-range-end-is-outside", "runner/ParamSetting.cpp",
     "out.value > p->rangeMax", "out.value >= p->rangeMax"),
    ("runner-check-id-clash-missed", "runner/commands/CheckCommand.cpp",
     "if (holders.size() < 2) continue;", "if (holders.size() < 3) continue;"),
    ("runner-preview-crash-unseen", "runner/preview/Session.cpp",
     "    crashLine = build->CrashLine();\n", "    crashLine.clear();\n"),
    # the kit (tests/kit; the bundles: make build-macos)
    ("kit-shader-lines-counted-from-the-kit", "templates/effect/MyEffect.cpp",
     'R"GLSL(\n#line 1\nvoid main()', 'R"GLSL(\nvoid main()'),
    ("kit-author-gets-our-warnings", "cmake/FFGLPlugin.cmake",
     "if(ARG_STRICT_WARNINGS OR TESSIVAR_STRICT_WARNINGS)", "if(TRUE)"),
    ("kit-entry-not-installed", "cmake/TessivarInstall.cmake",
     "install(TARGETS tessivar_abi tessivar_host tessivar_entry tessivar_gl tessivar_quickstart",
     "install(TARGETS tessivar_abi tessivar_host tessivar_gl tessivar_quickstart"),
    ("kit-guide-drift", "templates/effect/MyEffect.cpp", '"amount", 0.6f', '"amount", 0.5f'),
    ("kit-template-no-minimum", "cmake/macos-cross.cmake",
     '  set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0 CACHE STRING "Oldest macOS the modules load into")\n', "", MACOS),
    # macOS bundles (make build-macos): the checks of tests/host/MachOCheck.cmake
    ("exports-list-name-dropped", "cmake/FFGLExports.cmake",
     "  getInfo initialise deInitialise", "  initialise deInitialise"),
    ("macos-export-list-name-mangled", "cmake/FFGLExports.cmake",
     'string(APPEND text "__Z${length}${n}*\\n")', 'string(APPEND text "__Z${n}*\\n")', MACOS),
    ("macos-export-list-unused", "cmake/FFGLPlugin.cmake",
     "LINKER:-exported_symbols_list,${exp} LINKER:-undefined,error", "LINKER:-undefined,error", MACOS),
    ("macos-stray-import", "cmake/macos-cross-rules.cmake",
     "${lib}/libSystem.tbd\")",
     "${lib}/libSystem.tbd ${CMAKE_BINARY_DIR}/stray.tbd\")\n"
     "file(WRITE ${CMAKE_BINARY_DIR}/stray.tbd \"--- !tapi-tbd\\ntbd-version: 4\\n"
     "targets: [ x86_64-macos, arm64-macos ]\\ninstall-name: '/opt/homebrew/lib/libpng16.16.dylib'\\n...\\n\")",
     MACOS),
    ("macos-minimum-version", "cmake/macos-cross-rules.cmake",
     "-platform_version macos ${CMAKE_OSX_DEPLOYMENT_TARGET} 11.0", "-platform_version macos 12.0 12.0", MACOS),
    ("macos-unsigned-arm64", "cmake/macos-cross-rules.cmake", "-bundle -dead_strip", "-bundle -dead_strip -no_adhoc_codesign",
     MACOS),
    ("macos-plist-application", "cmake/BundleInfo.plist.in", "<string>BNDL</string>", "<string>APPL</string>", MACOS),
    ("macos-one-architecture", "scripts/build-macos.sh",
     '-create "$intel/Contents/MacOS/$name" "$arm/Contents/MacOS/$name"', '-create "$arm/Contents/MacOS/$name"', MACOS),
    # ffglrun's macOS sources, compiled by make build-macos only
    ("macos-heap-reader-syntax", "runner/platform/HeapUsageDarwin.cpp",
     "return stats.size_in_use;", "return stats.size_in_use", MACOS),
    ("macos-cgl-context-syntax", "runner/platform/gl/HeadlessGLCGL.cpp",
     "    f->DestroyContext(ctx);\n", "    f->DestroyContext(ctx)\n", MACOS),
    ("runner-output-compared-by-name", "runner/commands/CommandLine.cpp",
     "sequence ? Numbers(input) : fs::equivalent(fs::u8path(For(0)), fs::u8path(input), ec);",
     "sequence ? Numbers(input) : For(0) == input;"),
    ("runner-output-folder-found-late", "runner/commands/CommandLine.cpp",
     "if (!sequence && KindOf(path) == PathKind::Folder)", "if (false)"),
    ("runner-interrupt-not-caught", "runner/commands/render/RenderCommand.cpp",
     "        CatchInterrupts();\n", ""),
    ("runner-bundle-any-folder", "runner/Module.cpp",
     'if (folder.extension() != ".bundle" || KindOf(path) != PathKind::Folder) return path;',
     "if (KindOf(path) != PathKind::Folder) return path;"),
    ("runner-state-watch-blind", "runner/GLFrame.cpp",
     "return before.Diff(GLStateSnapshot::Capture()); }", 'return ""; }'),
    ("runner-interrupt-keeps-frames", "runner/commands/render/FrameSinks.cpp",
     "        for (const auto& path : written) RemoveNamedFile(path);\n", ""),
    ("render-failure-keeps-outputs", "runner/commands/render/RenderCommand.cpp",
     "        } catch (...) {\n            Abandon();\n", "        } catch (...) {\n"),
    # runner/media/
    ("media-corrupt-packet-decoded", "runner/media/LibAv.cpp",
     "if (packet->flags & AV_PKT_FLAG_CORRUPT) {", "if (false) {"),
    ("media-side-limit-off-by-one", "runner/media/LibAv.cpp",
     "uint32_t(std::max(p->width, 0)) <= kMaxPictureSide", "uint32_t(std::max(p->width, 0)) <= kMaxPictureSide + 1"),
    ("media-odd-sides-accepted", "runner/media/ClipWriter.cpp",
     "if (width % across == 0 && height % down == 0) return true;", "return true;"),
    ("media-frames-restamped", "runner/commands/render/RenderInputs.cpp",
     "return clip ? std::max<int64_t>(0, clipFrame.pts - StartPts()) : index;", "return index;"),
    ("media-frames-untagged", "runner/media/ClipWriter.cpp",
     "    frame->colorspace = e->colorspace;\n    frame->color_primaries = e->color_primaries;\n", ""),
    ("media-matrix-tag-ignored", "runner/media/ClipReader.cpp",
     "tagged.matrix = storedTag(dec->colorspace, AVCOL_SPC_NB, AVCOL_SPC_UNSPECIFIED);",
     "tagged.matrix = AVCOL_SPC_UNSPECIFIED;"),
    ("media-depth-cut-to-8", "runner/media/ColourPlan.cpp", "return sourceBits > 8 ? 16 : 8;",
     "return sourceBits > 16 ? 16 : 8;"),
    ("media-transfer-rewritten", "runner/media/ColourPlan.cpp",
     "    e.colour.transfer = source.transfer;\n", "    e.colour.transfer = ColourTags::kBt709;\n"),
    ("media-range-guessed-over-tag", "runner/media/ColourPlan.cpp",
     "t.range = tagged.range != ColourTags::kRangeUnknown ? tagged.range : guess.range;", "t.range = guess.range;"),
    ("media-deepest-format-always", "runner/media/ColourPlan.cpp",
     "return aHolds ? a.bits < b.bits : a.bits > b.bits;", "return a.bits > b.bits;"),
    ("media-display-matrix-ignored", "runner/media/ClipReader.cpp",
     "format.rotation = DisplayRotation(st);", "format.rotation = 0;"),
    ("media-sample-aspect-dropped", "runner/media/ClipWriter.cpp",
     "    e->sample_aspect_ratio = {format.sampleAspect.num, format.sampleAspect.den};\n", ""),
    ("media-first-audio-track-only", "runner/media/AudioTracks.cpp",
     "if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;", "if (int(i) != best) continue;"),
    ("media-encoder-context-unchecked", "runner/media/ClipWriter.cpp",
     "    if (!enc) {\n        error = OutOfMemory(path, \"the \" + encoderName + \" encoder\");\n        return false;\n    }\n",
     ""),
    ("media-audio-tags-dropped", "runner/media/AudioTracks.cpp",
     "        av_dict_copy(&t->out->metadata, st->metadata, 0);\n", ""),
    ("media-audio-never-reencoded", "runner/media/AudioTracks.cpp",
     "if (takesUnchanged(out->oformat, st->codecpar)) {", "if (true) {"),
    # FFmpeg 7.1 deprecated and 9.0 removed AVCodec's format lists; the
    # installed 5.1 builds it, the newer headers must not.
    ("media-encoder-formats-old-list", "runner/media/ClipWriter.cpp",
     "q = EncoderPixelFormats(codec);", "q = codec->pix_fmts;", FFMPEG_HEADERS),
    ("runner-audio-sets-no-length", "runner/commands/render/RenderCommand.cpp",
     "if (spectrum && !plan.audio.empty())", "if (false)"),
    ("render-decoder-runs-on-past-frames", "runner/commands/render/RenderInputs.cpp",
     "    if (decoded) decoded->Cancel();\n", ""),
    ("render-decoder-reuses-moved-frame", "runner/commands/render/RenderInputs.cpp",
     "    for (;;) {\n        Decoded next;\n", "    Decoded next;\n    for (;;) {\n"),
    ("runner-deep-texels-as-bytes", "runner/GLFrame.cpp",
     "GLenum channelType(int bits) { return bits == 16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_BYTE; }",
     "GLenum channelType(int) { return GL_UNSIGNED_BYTE; }"),
    # runner/preview/
    ("preview-token-prefix-only", "runner/preview/Server.cpp",
     "if (sameText(head, root) && rooted)", "if (sameText(head, root))"),
    ("preview-port-shared", "runner/preview/Server.cpp",
     "    http->set_socket_options(", "    if (false) http->set_socket_options("),
    ("preview-range-no-upper-bound", "runner/preview/Requests.cpp",
     "if (v < std::min(lo, hi) || v > std::max(lo, hi)) {", "if (v < std::min(lo, hi)) {"),
    ("preview-file-parameter-settable", "runner/preview/Requests.cpp",
     "    if (p.type == FF_TYPE_FILE) {\n        error = name(p) + \" names a file; set it on the command line with --set\";\n        return false;\n    }\n", ""),
    ("preview-text-limit-off-by-one", "runner/preview/Requests.cpp",
     "if (c.text.size() > kMaxTextBytes) {", "if (c.text.size() >= kMaxTextBytes) {"),
    ("preview-queue-checks-one", "runner/preview/Hub.cpp",
     "commands.size() + batch.size() > kMaxPendingCommands", "commands.size() >= kMaxPendingCommands"),
    ("preview-state-build-before-its-params", "runner/preview/Hub.cpp",
     'state["build"] = sessionBuild;', 'state["build"] = build;'),
    ("preview-checker-not-premultiplied", "runner/preview/FrameEncoder.cpp",
     "g += p[1] * p[3];", "g += p[1] * 255;"),
    ("preview-view-halves-at-limit", "runner/preview/FrameEncoder.cpp",
     "while ((width / factor > kMaxViewSide || height / factor > kMaxViewSide)",
     "while ((width / factor >= kMaxViewSide || height / factor >= kMaxViewSide)"),
    ("preview-build-not-copied", "runner/preview/ModuleBuild.cpp",
     "build->module = Module::Load(copy.u8string(), error);", "build->module = Module::Load(path, error);"),
    ("preview-watch-unsettled", "runner/preview/ModuleBuild.cpp",
     "now.exists && now == candidate && !(now == seen)", "now.exists && !(now == seen)"),
    ("preview-values-not-carried", "runner/preview/Session.cpp",
     "        CarryValues(*next, *made);\n", ""),
    ("preview-events-not-read", "runner/preview/Session.cpp",
     "        if (e.index < values.size()) ReadValue(e.index);", "        (void)e;"),
    ("preview-host-log-not-connected", "runner/preview/Session.cpp",
     "set(&hostLog);", "set(nullptr);"),
    ("preview-step-not-advancing", "runner/preview/Session.cpp",
     "            playing = false;\n            AdvanceInput();", "            playing = false;"),
    ("preview-clip-picture-moved-out", "runner/preview/InputFeed.cpp",
     "img = clipFrame.picture;", "img = std::move(clipFrame.picture);"),
    ("preview-clip-not-looped", "runner/preview/InputFeed.cpp",
     "    rewound = true;\n    return Rewind(error) ? Step::Moved : Step::Failed;", "    return Step::AtEnd;"),
    ("preview-deep-frame-read-as-8-bits", "runner/preview/FrameEncoder.cpp",
     "    if (frame.bits != 8) return FlattenForView(To8Bits(frame), factor);", ""),
    # runner/media/
    ("pipeline-cancelled-pop-ends-normally", "runner/media/Pipeline.h",
     "        if (cancelled) throw Cancelled{};\n        if (items.empty()) return false;",
     "        if (cancelled) return false;\n        if (items.empty()) return false;"),
    ("pipeline-queue-one-over-capacity", "runner/media/Pipeline.h",
     "return cancelled || items.size() < capacity;", "return cancelled || items.size() <= capacity;"),
    ("pipeline-later-failure-wins", "runner/media/Pipeline.cpp",
     "if (!firstFailure) firstFailure = failure;", "firstFailure = failure;"),
    # the clip conversions' choice, read-back and breakdown
    ("pipeline-recycler-keeps-one-past", "runner/media/Pipeline.h",
     "if (items.size() < keep) items.push_back(std::move(item));", "if (items.size() <= keep) items.push_back(std::move(item));"),
    ("convert-auto-decodes-on-llvmpipe", "runner/media/gpu/ClipConversions.cpp",
     "return {!IsSoftwareRenderer(renderer), true};", "return {!IsSoftwareRenderer(renderer) || true, true};"),
    ("convert-last-packed-frames-dropped", "runner/commands/render/FrameSinks.cpp",
     "if (conversions.PacksOutput() && !conversions.Drain(SendPacked(), error))",
     "if (false && !conversions.Drain(SendPacked(), error))"),
    ("convert-packed-times-newest-first", "runner/media/gpu/ClipConversions.cpp",
     "    picture.pts = times.front();\n    times.pop_front();", "    picture.pts = times.back();\n    times.pop_back();"),
    ("convert-layout-takes-big-endian", "runner/media/LibAv.cpp",
     "const uint64_t refused = AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL", "const uint64_t refused = AV_PIX_FMT_FLAG_PAL"),
    ("convert-layout-240m-as-601", "runner/media/LibAv.cpp",
     "} else if (matrix == AVCOL_SPC_BT470BG || matrix == AVCOL_SPC_SMPTE170M) {",
     "} else if (matrix == AVCOL_SPC_BT470BG || matrix == AVCOL_SPC_SMPTE170M || matrix == AVCOL_SPC_SMPTE240M) {"),
    ("stats-llvmpipe-as-other", "runner/commands/render/StageStats.cpp",
     'else if (name == kMainThread || name.rfind("llvmpipe", 0) == 0)', "else if (name == kMainThread)"),
    ("stats-may-replace-an-input", "runner/commands/render/RenderPlan.cpp",
     "        stats->RefuseInputs(taken);\n", ""),
    # runner/media/gpu/
    ("convert-in-rows-not-flipped", "runner/media/gpu/PlanesToRgba.cpp",
     "ivec2 u = ivec2(f.x, ((TURNS & 1) == 1 ? size.x : size.y) - 1 - f.y);", "ivec2 u = f;"),
    ("convert-in-stride-ignored", "runner/media/gpu/PlanesToRgba.cpp",
     "glPixelStorei(GL_UNPACK_ROW_LENGTH, planes.linesize[size_t(i)] / bytes);",
     "glPixelStorei(GL_UNPACK_ROW_LENGTH, layout.PlaneWidth(i, width) + 0 * bytes);"),
    ("convert-in-chroma-on-luma-grid", "runner/media/gpu/PlanesToRgba.cpp",
     "1.0f / float((1 << layout.chromaShiftX) * layout.PlaneWidth(1, width))",
     "1.0f / float(width)"),
    ("convert-in-stride-check-off-by-one", "runner/media/gpu/PlanesToRgba.cpp",
     "stride < layout.PlaneWidth(i, width) * bytes", "stride < layout.PlaneWidth(i, width) * bytes - 1"),
    ("convert-in-quarter-turn-anticlockwise", "runner/media/gpu/PlanesToRgba.cpp",
     "#if TURNS == 1\n    return ivec2(u.y, size.y - 1 - u.x);", "#if TURNS == 1\n    return ivec2(size.x - 1 - u.y, u.x);"),
    ("convert-in-variant-not-by-alpha", "runner/media/gpu/PlanesToRgba.cpp",
     "return (planar ? 16 : 0) | (turns << 2) | (subsampled ? 2 : 0) | (alpha ? 1 : 0);",
     "return (planar ? 16 : 0) | (turns << 2) | (subsampled ? 2 : 0) | (alpha ? 0 : 0);"),
    ("convert-gbr-planes-taken-as-rgb", "runner/media/gpu/PixelLayout.cpp",
     "c.toRgb = {0, 1, 0, 0, 0, 1, 1, 0, 0};", "c.toRgb = {1, 0, 0, 0, 1, 0, 0, 0, 1};"),
    ("convert-limited-chroma-span", "runner/media/gpu/PixelLayout.cpp",
     "chromaSpan = 224.0 * step;", "chromaSpan = 219.0 * step;"),
    ("convert-bt2020-as-bt709", "runner/media/gpu/PixelLayout.cpp",
     "kr = 0.2627, kb = 0.0593;", "kr = 0.2126, kb = 0.0722;"),
    ("convert-out-rows-not-flipped", "runner/media/gpu/RgbaToPlanes.cpp",
     "texelFetch(picture, ivec2(p.x, size.y - 1 - p.y), 0);", "texelFetch(picture, p, 0);"),
    ("convert-out-chroma-top-row-only", "runner/media/gpu/RgbaToPlanes.cpp",
     "            sums[x >> SX] += c.rgb;", "            if (r == 0) sums[x >> SX] += float(BH) * c.rgb;"),
    ("convert-out-block-rows-overlaid", "runner/media/gpu/RgbaToPlanes.cpp",
     "const int first = layout.Planar() ? t.row * blockWidth : 0;", "const int first = 0;"),
    ("convert-out-block-row-stride", "runner/media/gpu/RgbaToPlanes.cpp",
     "glPixelStorei(GL_PACK_ROW_LENGTH, p.texels * p.blockRows);", "glPixelStorei(GL_PACK_ROW_LENGTH, p.texels);"),
    ("convert-out-not-over-black", "runner/media/gpu/RgbaToPlanes.cpp",
     "    c = vec4(c.rgb * c.a, 1.0);\n", "    c = vec4(c.rgb, 1.0);\n"),
    ("convert-out-newest-collected-first", "runner/media/gpu/RgbaToPlanes.cpp",
     "    Slot& slot = slots[size_t(oldest)];", "    Slot& slot = slots[size_t((oldest + inFlight - 1) % int(slots.size()))];"),
    ("convert-out-one-past-depth", "runner/media/gpu/RgbaToPlanes.cpp",
     "if (inFlight == int(slots.size())) return false;", "if (inFlight > int(slots.size())) return false;"),
]

restore = {}  # path -> original text, while a fault is in


def restore_all(*_):
    for path, text in list(restore.items()):
        with open(path, "w") as f:
            f.write(text)
        del restore[path]
    if _:
        sys.exit(130)


def applies(fault):
    _, rel, old, _ = fault[:4]
    path = os.path.join(ROOT, rel)
    if not os.path.exists(path):
        return "file is gone"
    n = open(path).read().count(old)
    return None if n == 1 else ("code not found" if n == 0 else "code found %d times" % n)


def run(cmd, log):
    with open(log, "w") as out:
        return subprocess.call(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT)


FAILED_LOG = os.path.join(BUILD, "Testing", "Temporary", "LastTestsFailed.log")


def run_tests(ctest, names, log):
    """Runs the named tests (None: all) and answers those that failed."""
    if os.path.exists(FAILED_LOG):
        os.remove(FAILED_LOG)  # ctest leaves a stale list behind when all pass
    if names is not None:
        if not names:
            return []
        ctest = ctest + ["-R", "^(" + "|".join(re.escape(n) for n in sorted(names)) + ")$"]
    run(ctest, log)
    if not os.path.exists(FAILED_LOG):
        return []
    return sorted(line.strip().split(":", 1)[1] for line in open(FAILED_LOG) if ":" in line)


def test_inputs():
    """Each test's files (program, modules and source files or folders named
    in its command or environment): a test none of whose files a fault
    touched cannot see it."""
    listing = subprocess.run(["ctest", "--preset", "default", "--show-only=json-v1"], cwd=ROOT,
                             capture_output=True, text=True, check=True).stdout
    inputs = {}
    for t in json.loads(listing)["tests"]:
        words = list(t.get("command") or [])
        for p in t.get("properties", []):
            if p["name"] == "ENVIRONMENT":
                words += [v.split("=", 1)[-1] for v in p["value"]]
        paths = {w.split("=", 1)[-1] for w in words}
        inputs[t["name"]] = {w for w in paths if w.startswith(ROOT) and (os.path.isfile(w) or os.path.isdir(w))}
    return inputs


def sees(used, changed, source):
    """Whether a test with these inputs can see a fault in `source` that
    changed these built files."""
    if used & changed:
        return True
    return any(source == u or (os.path.isdir(u) and not u.startswith(BUILD) and
                               source.startswith(u.rstrip(os.sep) + os.sep)) for u in used)


def mtimes(files):
    return {f: os.stat(f).st_mtime_ns for f in files if os.path.exists(f)}


def main():
    args = sys.argv[1:]
    ctest_extra = args[args.index("--") + 1:] if "--" in args else []
    args = args[:args.index("--")] if "--" in args else args
    out_file = None
    everything = "--all-tests" in args
    quick = "--no-baseline" in args  # trust that the suite passes as it is
    args = [a for a in args if a not in ("--all-tests", "--no-baseline")]
    if "--out" in args:
        i = args.index("--out")
        out_file = args[i + 1]
        del args[i:i + 2]
    chosen = [f for f in FAULTS if not [a for a in args if a != "--list"] or
              any(f[0].startswith(a) for a in args if a != "--list")]

    if "--list" in args:
        for f in chosen:
            why = applies(f)
            print("%-40s %-34s %s" % (f[0], f[1], "applies" if not why else "DOES NOT APPLY: " + why))
        return 0
    if not os.path.exists(os.path.join(BUILD, "build.ninja")):
        print("fault-check: configure first: cmake --preset default", file=sys.stderr)
        return 2

    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, restore_all)
    logs = os.path.join(BUILD, "fault-check")
    os.makedirs(logs, exist_ok=True)
    ctest = ["ctest", "--preset", "default", "--timeout", "300"] + ctest_extra

    if run(["cmake", "--build", "--preset", "default"], os.path.join(logs, "baseline-build.log")) != 0:
        print("fault-check: the tree does not build as it is", file=sys.stderr)
        return 2
    baseline = set() if quick else set(run_tests(ctest, None, os.path.join(logs, "baseline-ctest.log")))
    inputs = test_inputs()
    files = {f for f in set().union(*inputs.values()) if f.startswith(BUILD) and os.path.isfile(f)}
    if baseline:
        print("fault-check: failing without any fault (ignored below): " + ", ".join(sorted(baseline)))

    rows, stale, missed = [], 0, 0
    own_checks = []  # commands run for faults of their own, to run again fault-free
    try:
        for f in chosen:
            fid, rel, old, new = f[:4]
            why = applies(f)
            if why:
                rows.append((fid, "DOES NOT APPLY (%s in %s)" % (why, rel)))
                stale += 1
                continue
            path = os.path.join(ROOT, rel)
            text = open(path).read()
            restore[path] = text
            with open(path, "w") as out:
                out.write(text.replace(old, new))
            if len(f) > 4:
                if f[4] not in own_checks:
                    own_checks.append(f[4])
                failed = run(f[4], os.path.join(logs, fid + "-check.log")) != 0
                caught = ["(%s)" % " ".join(f[4])] if failed else []
                restore_all()
                missed += 0 if caught else 1
                rows.append((fid, ", ".join(caught) if caught else "NOT CAUGHT"))
                print("%-40s %s" % rows[-1], flush=True)
                continue
            before = mtimes(files)
            if run(["cmake", "--build", "--preset", "default"], os.path.join(logs, fid + "-build.log")) != 0:
                caught = ["(build)"]
            else:
                after = mtimes(files)
                changed = {f for f in files if before.get(f) != after.get(f)}
                names = None if everything else {n for n, used in inputs.items() if sees(used, changed, path)}
                caught = [t for t in run_tests(ctest, names, os.path.join(logs, fid + "-ctest.log"))
                          if t not in baseline]
            restore_all()
            if not caught:
                missed += 1
            rows.append((fid, ", ".join(caught) if caught else "NOT CAUGHT"))
            print("%-40s %s" % rows[-1], flush=True)
    finally:
        restore_all()
        run(["cmake", "--build", "--preset", "default"], os.path.join(logs, "restore-build.log"))
        for i, command in enumerate(own_checks):
            if run(command, os.path.join(logs, "restore-check-%d.log" % i)) != 0:
                print("fault-check: %s fails without any fault" % " ".join(command), file=sys.stderr)

    table = "".join("%-40s %s\n" % r for r in rows)
    summary = "%d faults, %d caught, %d not caught, %d no longer apply\n" % (
        len(rows), len(rows) - missed - stale, missed, stale)
    print("\n" + table + summary, end="")
    if out_file:
        with open(out_file, "w") as out:
            out.write(table + summary)
    return 1 if missed or stale else 0


if __name__ == "__main__":
    sys.exit(main())
