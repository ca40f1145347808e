// ffglrun preview: the module live in a web browser.
//
// In order, each failing with one line before the next begins: the
// arguments, the module and inputs, the GL context and the instance, the
// listening socket. Then it prints the address to open and runs until
// interrupted (Ctrl-C or SIGTERM), which is its normal end: status 0.
//
// Threads: this one holds the GL context and renders (Session); the encoder
// has one; the web server has its workers. They meet only in the Hub.
#include "runner/commands/CommandLine.h"
#include "runner/commands/Commands.h"
#include "runner/platform/Interrupt.h"
#include "runner/preview/FrameEncoder.h"
#include "runner/preview/Hub.h"
#include "runner/preview/Server.h"
#include "runner/preview/Session.h"

#include <cstdio>

namespace tessivar::cli {
namespace {

std::string describeInputs(const preview::Session& s, const PreviewArgs& a) {
    std::string out = std::to_string(s.Width()) + "x" + std::to_string(s.Height());
    for (const auto& i : a.inputs) out += ", " + i;
    for (const auto& p : a.patterns) out += ", pattern " + p;
    char rate[32];
    std::snprintf(rate, sizeof rate, ", %.4g fps", s.FrameRate());
    return out + rate;
}

}  // namespace

int RunPreview(const PreviewArgs& a) {
    preview::Hub hub;
    preview::Session session(a, hub);
    session.Open();
    HeadlessGL& gl = MakeContext();
    preview::FrameEncoder encoder(hub);
    session.Start(gl, encoder);

    std::unique_ptr<preview::Server> server;
    try {
        server = std::make_unique<preview::Server>(hub, a.listen, a.port, preview::NewToken());
    } catch (const std::runtime_error& e) {
        throw Failure(e.what());
    }
    CatchInterrupts();
    std::printf("ffglrun preview: %s (%s)\nopen %s\n", session.Info().name.c_str(), describeInputs(session, a).c_str(),
                server->Address().c_str());
    std::fflush(stdout);

    session.Run(Interrupted);
    hub.Stop();
    server.reset();
    std::fprintf(stderr, "ffglrun preview: stopped\n");
    return 0;
}

}  // namespace tessivar::cli
