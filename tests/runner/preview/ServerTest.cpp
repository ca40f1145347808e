// The preview's web server against clients that are wrong, rude or gone:
// no token, malformed requests, a flood, a client leaving mid-answer. The
// server runs in this process, so a SIGPIPE or a crash fails the test.
#include "runner/preview/Server.h"

#include "runner/Module.h"
#include "runner/preview/Requests.h"

#include <httplib.h>

#include <gtest/gtest.h>
#ifndef _WIN32  // (httplib.h brings Windows sockets)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <thread>

namespace tessivar::preview {
namespace {

// Raw sockets the same on both systems.
#ifdef _WIN32
void closeSocket(socket_t fd) { ::closesocket(fd); }
constexpr int kShutBoth = SD_BOTH, kNoSignal = 0;  // (Windows raises no SIGPIPE)
#else
void closeSocket(socket_t fd) { ::close(fd); }
constexpr int kShutBoth = SHUT_RDWR, kNoSignal = MSG_NOSIGNAL;
#endif

const std::string kToken = "0123456789abcdef0123456789abcdef";

class PreviewServer : public ::testing::Test {
protected:
    void SetUp() override {
        ParamDesc amount;
        amount.name = "Amount";
        amount.type = FF_TYPE_STANDARD;
        auto info = std::make_shared<ModuleInfo>();
        info->params = {amount};
        hub.PublishModule(info);
        server = std::make_unique<Server>(hub, "127.0.0.1", 0, kToken);
    }
    void TearDown() override {
        hub.Stop();
        server.reset();
    }
    httplib::Client Client() {
        httplib::Client c("127.0.0.1", server->Port());
        c.set_read_timeout(10, 0);
        return c;
    }
    int Get(const std::string& path) {
        auto res = Client().Get(path.c_str());
        return res ? res->status : -1;
    }
    int Post(const std::string& path, const std::string& body) {
        auto res = Client().Post(path.c_str(), body, "application/json");
        return res ? res->status : -1;
    }
    // A raw connection, for clients no library would be.
    socket_t Connect() {
        const socket_t fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(server->Port()));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return fd;
    }
    const std::string root = "/" + kToken + "/";
    Hub hub;
    std::unique_ptr<Server> server;
};

TEST_F(PreviewServer, EveryRequestNeedsTheToken) {
    EXPECT_EQ(server->Address(), "http://127.0.0.1:" + std::to_string(server->Port()) + root);
    EXPECT_EQ(Get(root + "state"), 200);
    EXPECT_EQ(Get(root), 200);
    EXPECT_EQ(Get("/" + kToken), 302);
    for (const std::string& path :
         std::vector<std::string>{"/", "/state", "/" + kToken.substr(1) + "/state", "/" + kToken + "0/state",
                                  "/x" + kToken + "/state", "/../" + kToken + "/state"})
        EXPECT_EQ(Get(path), 403) << path;
    EXPECT_EQ(Post("/param", "{\"index\":0,\"value\":0.5}"), 403);
    EXPECT_EQ(Get(root + "..%2f..%2fetc%2fpasswd"), 404);  // nothing is read from disk
    EXPECT_TRUE(hub.Take().empty());
    EXPECT_NE(NewToken(), NewToken());
    EXPECT_EQ(NewToken().size(), 32u);
}

TEST_F(PreviewServer, ListensWhereItIsTold) {
    // 127.0.0.2 is this machine too: a server on every interface answers
    // there, so the one on 127.0.0.1 (which the page's tests see refused
    // there) is refused for its address alone.
    Server everywhere(hub, "0.0.0.0", 0, kToken);
    httplib::Client c("127.0.0.2", everywhere.Port());
    auto res = c.Get((root + "state").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_FALSE(httplib::Client("127.0.0.2", server->Port()).Get((root + "state").c_str()));
    EXPECT_THROW(Server(hub, "127.0.0.1", server->Port(), kToken), std::runtime_error);
}

TEST_F(PreviewServer, MalformedRequestsGetAnErrorAndChangeNothing) {
    EXPECT_EQ(Post(root + "param", "{\"index\":0,\"value\":2}"), 400);
    EXPECT_EQ(Post(root + "param", "{\"index\":1,\"value\":0}"), 400);
    EXPECT_EQ(Post(root + "transport", "{\"action\":\"open\"}"), 400);
    EXPECT_EQ(Post(root + "param", std::string(kMaxBodyBytes + 1, '[')), 413);
    EXPECT_EQ(Get(root + "frame?after=x"), 400);
    EXPECT_EQ(Get(root + "nothing"), 404);
    EXPECT_TRUE(hub.Take().empty());
    // The same server still takes a good one.
    EXPECT_EQ(Post(root + "param", "{\"index\":0,\"value\":1}"), 200);
    EXPECT_EQ(hub.Take().size(), 1u);
}

TEST_F(PreviewServer, FramesComeNewestFirstWithTheirNumbers) {
    auto frame = std::make_shared<EncodedFrame>();
    frame->id = 5;
    frame->applied = 3;
    frame->mime = "image/jpeg";
    frame->bytes = "picture";
    hub.PublishFrame(frame);
    auto res = Client().Get((root + "frame?after=4").c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->body, "picture");
    EXPECT_EQ(res->get_header_value("X-Frame"), "5");
    EXPECT_EQ(res->get_header_value("X-Applied"), "3");
    EXPECT_EQ(Get(root + "frame?after=5"), 204);  // none newer within the wait
}

TEST_F(PreviewServer, ClientsLeavingMidAnswerEndOnlyTheirConnection) {
    auto frame = std::make_shared<EncodedFrame>();
    frame->id = 1;
    frame->bytes.assign(8 << 20, 'x');  // far more than a socket buffer holds
    hub.PublishFrame(frame);
    const std::string request = "GET " + root + "frame?after=0 HTTP/1.1\r\nHost: x\r\n\r\n";
    const linger hard{1, 0};  // close with a reset
    for (int i = 0; i < 30; ++i) {
        const socket_t fd = Connect();
        ASSERT_EQ(::send(fd, request.data(), int(request.size()), 0), int(request.size()));
        if (i % 3 == 0) {  // gone before the answer starts
            ::shutdown(fd, kShutBoth);
        } else {  // gone mid-body
            char some[1024];
            ::recv(fd, some, sizeof some, 0);
            if (i % 3 == 1) ::setsockopt(fd, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        }
        closeSocket(fd);
    }
    EXPECT_EQ(Get(root + "state"), 200);
}

TEST_F(PreviewServer, AFloodIsServedOrRefusedAndTheServerHoldsUp) {
    // Clients that connect and say nothing, or never finish their headers,
    // hold a worker only until the read timeout.
    std::vector<socket_t> idle;
    for (int i = 0; i < 2 * Server::kWorkers; ++i) idle.push_back(Connect());
    const std::string endless = "GET " + root + "state HTTP/1.1\r\nX: " + std::string(16384, 'y');
    ::send(idle[0], endless.data(), int(endless.size()), kNoSignal);

    std::atomic<int> good{0}, refused{0}, other{0};
    std::vector<std::thread> flood;
    for (int t = 0; t < 4; ++t)
        flood.emplace_back([&, t] {
            httplib::Client c("127.0.0.1", server->Port());
            c.set_read_timeout(10, 0);
            for (int i = 0; i < 50; ++i) {
                auto res = i % 2 ? c.Post((root + "param").c_str(), "{\"index\":0,\"value\":0.5}", "application/json")
                                 : c.Post(("/wrong" + std::to_string(t) + "/param").c_str(), "{}", "application/json");
                if (!res)
                    ++other;
                else if (res->status == 200)
                    ++good;
                else if (res->status == 403)
                    ++refused;
                else
                    ++other;
            }
        });
    for (auto& f : flood) f.join();
    for (socket_t fd : idle) closeSocket(fd);
    EXPECT_EQ(good, 100);
    EXPECT_EQ(refused, 100);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(hub.Take().size(), 100u);  // exactly the accepted changes
    EXPECT_EQ(Get(root + "state"), 200);
}

}  // namespace
}  // namespace tessivar::preview
