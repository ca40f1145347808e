// ffglrun preview's options, in every build: where the build has no web
// server, the command still parses them and then says so (PreviewNone.cpp).
#include "runner/commands/Commands.h"
#include "runner/commands/Options.h"

#include <memory>

namespace tessivar::cli {

Command AddPreviewCommand(CLI::App& app) {
    auto a = std::make_shared<PreviewArgs>();
    CLI::App* c = AddSubcommand(app, "preview", "Show the module live in a web browser, with a control per parameter",
                                a->module, "Path of the module (.so); reloaded when it changes");
    AddRepeated(c, "--input", a->inputs, "Input PNG or video clip (one); once per input");
    AddPatterns(c, a->patterns);
    c->add_option("--audio", a->audio, "Audio for FFT parameters (default: the clip's)");
    c->add_option("--size", a->size, "Render size WxH (default: the first input's size)");
    AddRepeated(c, "--set", a->settings, "NAME=VALUE to start with, as for render");
    c->add_option("--fps", a->fps, "Frames per second without a clip (default 30)");
    c->add_option("--port", a->port, "Port to listen on (default: any free port)")->check(CLI::Range(0, 65535));
    c->add_option("--listen", a->listen,
                  "Address to listen on (default 127.0.0.1: this machine only; 0.0.0.0: every interface)");
    return {c, [a] { return RunPreview(*a); }};
}

}  // namespace tessivar::cli
