// Server -- the preview's web server (cpp-httplib), on its own threads.
//
// Every request must carry the session's random token as the first part of
// its path (http://127.0.0.1:PORT/TOKEN/...); anything else is refused with
// 403 before it is read further. Under the token:
//
//   GET  /             the page (index.html, app.js, style.css: built in)
//   GET  state         JSON: module, parameters with values and display
//                      texts, transport, the host's log (see Session.h)
//   GET  frame?after=N the first frame newer than N, waiting up to a second:
//                      200 image/jpeg, or 204 when none came; headers X-Frame,
//                      X-Applied, X-State, X-Render-Ms, X-Render-Fps, X-Time
//   POST param         parameter changes (Requests.h)
//   POST transport     play, pause, step, loop (Requests.h)
//
// A refused or malformed request gets a 4xx status with one line of text and
// changes nothing. Bounded everywhere: 8 worker threads, 2 s to read or write,
// request bodies up to 64 KiB, at most 4 clients waiting for a frame at once
// (more get 503), at most Hub::kMaxPendingCommands changes queued (more get
// 503). A client going away mid-answer only ends its own connection.
#pragma once

#include "runner/preview/Hub.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace tessivar::preview {

// 128 random bits as 32 hexadecimal digits.
std::string NewToken();

class Server {
public:
    static constexpr int kWorkers = 8;
    static constexpr int kMaxFrameWaiters = 4;
    static constexpr int kFrameWaitMs = 1000;

    // Binds `host`:`port` (0: any free port) and starts serving. Throws
    // std::runtime_error with one line when the address cannot be had.
    Server(Hub& hub, const std::string& host, int port, std::string token);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int Port() const { return port; }
    // The address to open: http://HOST:PORT/TOKEN/
    std::string Address() const;

private:
    void Routes();
    void RefuseOutsideToken(const std::string& root);

    Hub& hub;
    std::string host, token;
    int port = 0;
    std::atomic<int> frameWaiters{0};
    std::atomic<bool> listenEnded{false};
    std::unique_ptr<httplib::Server> http;
    std::thread thread;
};

}  // namespace tessivar::preview
