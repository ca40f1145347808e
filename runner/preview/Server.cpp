#include "runner/preview/Server.h"

#include "runner/preview/Assets.h"
#include "runner/preview/Requests.h"

#include <httplib.h>

#ifndef _WIN32
#include <sys/socket.h>
#endif

#include <chrono>
#include <csignal>
#include <random>
#include <stdexcept>

namespace tessivar::preview {
namespace {

const char* mimeOf(const std::string& name) {
    const auto ends = [&](const char* ext) {
        const std::string e(ext);
        return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
    };
    if (ends(".html")) return "text/html; charset=utf-8";
    if (ends(".js")) return "text/javascript; charset=utf-8";
    if (ends(".css")) return "text/css; charset=utf-8";
    return "application/octet-stream";
}

// Compares in time that depends only on the lengths, so the token cannot be
// guessed a character at a time.
bool sameText(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

void refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

// The frame's numbers travel beside it as headers.
void frameHeaders(httplib::Response& res, const EncodedFrame& f, uint64_t stateVersion) {
    res.set_header("X-Frame", std::to_string(f.id));
    res.set_header("X-Applied", std::to_string(f.applied));
    res.set_header("X-State", std::to_string(stateVersion));
    res.set_header("X-Render-Ms", std::to_string(f.renderMs));
    res.set_header("X-Render-Fps", std::to_string(f.renderFps));
    res.set_header("X-Time", std::to_string(f.time));
}

bool parseCount(const std::string& text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + uint64_t(c - '0');
    }
    return true;
}

}  // namespace

std::string NewToken() {
    std::random_device random;
    static const char hex[] = "0123456789abcdef";
    std::string token;
    for (int i = 0; i < 4; ++i) {
        uint32_t bits = random();
        for (int k = 0; k < 8; ++k, bits >>= 4) token += hex[bits & 15];
    }
    return token;
}

Server::Server(Hub& h, const std::string& listenHost, int listenPort, std::string secret)
    : hub(h), host(listenHost), token(std::move(secret)), http(std::make_unique<httplib::Server>()) {
#ifdef SIGPIPE
    // A client that goes away mid-answer must end its connection, not the
    // process. (cpp-httplib 0.11 ignores SIGPIPE itself; we do not rely on it.)
    std::signal(SIGPIPE, SIG_IGN);
#endif
    http->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    http->set_read_timeout(2, 0);
    http->set_write_timeout(2, 0);
    http->set_keep_alive_timeout(2);
    http->set_payload_max_length(kMaxBodyBytes);
    http->set_default_headers(
        {{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "no-referrer"}});
    // cpp-httplib's default also sets SO_REUSEPORT, which would let a second
    // preview share a port in use instead of being refused. On Windows
    // SO_REUSEADDR itself means that (any socket may then take the port over);
    // exclusive use refuses it there, and a closed port is free at once anyway.
    http->set_socket_options([](socket_t sock) {
        int yes = 1;
#ifdef _WIN32
        ::setsockopt(sock, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes), sizeof yes);
#else
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
#endif
    });
    Routes();
    port = listenPort == 0 ? http->bind_to_any_port(host) : (http->bind_to_port(host, listenPort) ? listenPort : -1);
    if (port <= 0)
        throw std::runtime_error("--listen " + host + " --port " + std::to_string(listenPort) +
                                 ": cannot listen there (in use, or not an address of this machine)");
    thread = std::thread([this] {
        http->listen_after_bind();
        listenEnded = true;
    });
    // Until it runs, stop() would not reach it: a server made and ended at
    // once would then never end.
    while (!http->is_running() && !listenEnded) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Server::~Server() {
    http->stop();
    if (thread.joinable()) thread.join();
}

std::string Server::Address() const {
    const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shown + ":" + std::to_string(port) + "/" + token + "/";
}

// Every path outside the session's token is refused, before any route sees it.
void Server::RefuseOutsideToken(const std::string& root) {
    const auto underToken = [root](const std::string& path) {
        const bool rooted = path.size() == root.size() || (path.size() > root.size() && path[root.size()] == '/');
        return sameText(path.substr(0, root.size()), root) && rooted;
    };
    static const std::string kNeedsToken = "refused: this address needs the session's token";
    http->set_pre_routing_handler([underToken](const httplib::Request& req, httplib::Response& res) {
        if (underToken(req.path)) return httplib::Server::HandlerResponse::Unhandled;
        // A request whose body follows is refused only once the body is read
        // (no route outside the token takes it; the error handler below
        // refuses it). Refused before, its body would stay on the connection:
        // read as the next request of a kept-alive client, or, where a socket
        // closed with unread data is reset (Windows), taking the answer with it.
        const bool bodyFollows = req.has_header("Transfer-Encoding") ||
                                 (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
        if (bodyFollows) return httplib::Server::HandlerResponse::Unhandled;
        refuse(res, 403, kNeedsToken);
        return httplib::Server::HandlerResponse::Handled;
    });
    http->set_error_handler([underToken](const httplib::Request& req, httplib::Response& res) {
        if (!underToken(req.path))
            refuse(res, 403, kNeedsToken);
        else if (res.body.empty())
            refuse(res, res.status, "refused: no such thing here");
    });
}

void Server::Routes() {
    const std::string root = "/" + token;
    RefuseOutsideToken(root);
    http->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        refuse(res, 500, "the server failed to answer this request");
    });

    http->Get(root, [root](const httplib::Request&, httplib::Response& res) { res.set_redirect(root + "/"); });
    http->Get(root + "/state", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(hub.StateText(), "application/json");
    });
    http->Get(root + "/frame", [this](const httplib::Request& req, httplib::Response& res) {
        uint64_t after = 0;
        if (req.has_param("after") && !parseCount(req.get_param_value("after"), after))
            return refuse(res, 400, "frame?after=N: N is a frame number");
        // Each waiting client holds a worker; a few are plenty for a page.
        if (++frameWaiters > kMaxFrameWaiters) {
            --frameWaiters;
            return refuse(res, 503, "too many clients waiting for frames");
        }
        const auto frame = hub.WaitFrame(after, std::chrono::milliseconds(kFrameWaitMs));
        --frameWaiters;
        if (!frame) {
            res.status = 204;
            res.set_header("X-State", std::to_string(hub.StateVersion()));
            return;
        }
        frameHeaders(res, *frame, hub.StateVersion());
        // The frame is shared with other clients and the hub; the body copies it.
        res.set_content(frame->bytes, frame->mime);
    });
    http->Post(root + "/param", [this](const httplib::Request& req, httplib::Response& res) {
        uint64_t build = 0;
        const auto info = hub.Module(build);
        std::vector<Command> changes;
        std::string error;
        if (!info) return refuse(res, 503, "no module loaded yet");
        if (!ParseParamRequest(*info, build, req.body, changes, error)) return refuse(res, 400, error);
        uint64_t seq = 0;
        if (!hub.Push(std::move(changes), seq)) return refuse(res, 503, "too many changes waiting; try again");
        res.set_content("{\"seq\":" + std::to_string(seq) + "}", "application/json");
    });
    http->Post(root + "/transport", [this](const httplib::Request& req, httplib::Response& res) {
        Command c;
        std::string error;
        if (!ParseTransportRequest(req.body, c, error)) return refuse(res, 400, error);
        uint64_t seq = 0;
        if (!hub.Push({c}, seq)) return refuse(res, 503, "too many changes waiting; try again");
        res.set_content("{\"seq\":" + std::to_string(seq) + "}", "application/json");
    });
    // The page's files; after the named routes, which this pattern would take too.
    http->Get(root + "/([a-z]*\\.?[a-z]*)", [](const httplib::Request& req, httplib::Response& res) {
        std::string name = req.matches[1];
        if (name.empty()) name = "index.html";
        const Asset* a = FindAsset(name);
        if (!a) return refuse(res, 404, "refused: no such thing here");
        res.set_content(reinterpret_cast<const char*>(a->data), a->size, mimeOf(name));
        if (name == "index.html")
            res.set_header(
                "Content-Security-Policy",
                "default-src 'self'; img-src 'self' blob: data:; connect-src 'self'; frame-ancestors 'none'");
    });
}

}  // namespace tessivar::preview
