// A loopback HTTP server for tests of the network layer: it listens on
// 127.0.0.1 at a free port and answers every request with what the test's
// handler sends, raw, so a test can send anything a hostile server would
// (truncated bodies, endless ones, huge headers, slow drips). One thread a
// connection; the connection closes when the handler returns.
#pragma once
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace Testing {

struct THttpRequest {
    std::string Method;
    std::string Target; // path and query as sent
    std::map<std::string, std::string> Headers; // names in lower case
    std::string Body;
};

class THttpConnection {
public:
    explicit THttpConnection(int Socket) : FSocket(Socket) { }
    // False once the peer has gone (or the server stops).
    bool Send(std::string_view Bytes);
    // Waits until the peer closes its end (or the server stops), reading
    // and dropping what it sends: a server that never answers.
    void WaitForClose();

private:
    int FSocket;
};

using THttpHandler = std::function<void(const THttpRequest& Request, THttpConnection& Connection)>;

class TLoopbackHttpServer {
public:
    explicit TLoopbackHttpServer(THttpHandler Handler);
    ~TLoopbackHttpServer();
    TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
    TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

    int Port() const { return FPort; }
    std::string URL(const std::string& Path = "/") const;
    // libcurl's CONNECT_TO entry that sends Host:HostPort here.
    std::string ConnectTo(const std::string& Host, int HostPort = 80) const;
    // Every request so far, in the order they were read.
    std::vector<THttpRequest> Requests() const;

    // A whole reply: status line, Content-Length, Connection: close, the
    // extra header lines (each ending in CR LF), the body.
    static std::string Reply(int Status, std::string_view Body, std::string_view ExtraHeaders = {});

private:
    void Accept();
    void Serve(int Socket);

    THttpHandler FHandler;
    int FListen = -1;
    int FPort = 0;
    int FWake[2] = { -1, -1 };
    std::atomic<bool> FStopping { false };
    std::thread FAcceptor;
    mutable std::mutex FLock;
    std::vector<std::thread> FConnections;
    std::vector<int> FSockets;
    std::vector<THttpRequest> FRequests;
};

} // namespace Testing
