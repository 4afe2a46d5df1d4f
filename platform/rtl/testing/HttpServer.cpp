#include "rtl/testing/HttpServer.h"
#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace Testing {

namespace {

// Requests from our own client are small; anything past this is a bug.
constexpr size_t MaxRequestBytes = 16 << 20;

bool ReadRequest(int Socket, THttpRequest& Request)
{
    std::string Data;
    char Buffer[16384];
    size_t HeaderEnd = std::string::npos;
    while (HeaderEnd == std::string::npos) {
        ssize_t N = recv(Socket, Buffer, sizeof Buffer, 0);
        if (N <= 0 || Data.size() > MaxRequestBytes)
            return false;
        Data.append(Buffer, static_cast<size_t>(N));
        HeaderEnd = Data.find("\r\n\r\n");
    }
    std::string Head = Data.substr(0, HeaderEnd);
    size_t LineEnd = Head.find("\r\n");
    std::string First = Head.substr(0, LineEnd);
    size_t Sp1 = First.find(' '), Sp2 = First.rfind(' ');
    if (Sp1 == std::string::npos || Sp2 <= Sp1)
        return false;
    Request.Method = First.substr(0, Sp1);
    Request.Target = First.substr(Sp1 + 1, Sp2 - Sp1 - 1);
    size_t Pos = LineEnd == std::string::npos ? Head.size() : LineEnd + 2;
    while (Pos < Head.size()) {
        size_t End = Head.find("\r\n", Pos);
        if (End == std::string::npos)
            End = Head.size();
        std::string Line = Head.substr(Pos, End - Pos);
        size_t Colon = Line.find(':');
        if (Colon != std::string::npos) {
            std::string Name = Line.substr(0, Colon);
            std::transform(Name.begin(), Name.end(), Name.begin(), [](unsigned char C) { return std::tolower(C); });
            size_t V = Line.find_first_not_of(' ', Colon + 1);
            Request.Headers[Name] = V == std::string::npos ? "" : Line.substr(V);
        }
        Pos = End + 2;
    }
    Request.Body = Data.substr(HeaderEnd + 4);
    auto Length = Request.Headers.find("content-length");
    size_t Want = Length == Request.Headers.end() ? 0 : std::strtoull(Length->second.c_str(), nullptr, 10);
    if (Want > MaxRequestBytes)
        return false;
    while (Request.Body.size() < Want) {
        ssize_t N = recv(Socket, Buffer, sizeof Buffer, 0);
        if (N <= 0)
            return false;
        Request.Body.append(Buffer, static_cast<size_t>(N));
    }
    return true;
}

} // namespace

bool THttpConnection::Send(std::string_view Bytes)
{
    while (!Bytes.empty()) {
        ssize_t N = send(FSocket, Bytes.data(), Bytes.size(), MSG_NOSIGNAL);
        if (N <= 0)
            return false;
        Bytes.remove_prefix(static_cast<size_t>(N));
    }
    return true;
}

void THttpConnection::WaitForClose()
{
    char Buffer[4096];
    while (recv(FSocket, Buffer, sizeof Buffer, 0) > 0) { }
}

TLoopbackHttpServer::TLoopbackHttpServer(THttpHandler Handler) : FHandler(std::move(Handler))
{
    FListen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in Address {};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Size = sizeof Address;
    if (FListen < 0 || bind(FListen, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0
        || listen(FListen, 64) != 0 || getsockname(FListen, reinterpret_cast<sockaddr*>(&Address), &Size) != 0
        || pipe2(FWake, O_CLOEXEC) != 0)
        throw std::runtime_error("loopback server: cannot listen");
    FPort = ntohs(Address.sin_port);
    FAcceptor = std::thread([this] { Accept(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer()
{
    FStopping = true;
    [[maybe_unused]] ssize_t W = write(FWake[1], "x", 1);
    FAcceptor.join();
    {
        // A handler still sending (an endless body) fails its next send.
        std::lock_guard Lock(FLock);
        for (int S : FSockets)
            shutdown(S, SHUT_RDWR);
    }
    for (auto& T : FConnections)
        T.join();
    for (int S : FSockets)
        close(S);
    close(FListen);
    close(FWake[0]);
    close(FWake[1]);
}

std::string TLoopbackHttpServer::URL(const std::string& Path) const
{
    return "http://127.0.0.1:" + std::to_string(FPort) + Path;
}

std::string TLoopbackHttpServer::ConnectTo(const std::string& Host, int HostPort) const
{
    return Host + ":" + std::to_string(HostPort) + ":127.0.0.1:" + std::to_string(FPort);
}

std::vector<THttpRequest> TLoopbackHttpServer::Requests() const
{
    std::lock_guard Lock(FLock);
    return FRequests;
}

std::string TLoopbackHttpServer::Reply(int Status, std::string_view Body, std::string_view ExtraHeaders)
{
    std::string R = "HTTP/1.1 " + std::to_string(Status) + " Test\r\nContent-Length: " + std::to_string(Body.size())
        + "\r\nConnection: close\r\n";
    R += ExtraHeaders;
    R += "\r\n";
    R += Body;
    return R;
}

void TLoopbackHttpServer::Accept()
{
    for (;;) {
        pollfd Fds[2] = { { FListen, POLLIN, 0 }, { FWake[0], POLLIN, 0 } };
        if (poll(Fds, 2, -1) < 0)
            continue;
        if (FStopping || (Fds[1].revents & POLLIN))
            return;
        int S = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (S < 0)
            continue;
        std::lock_guard Lock(FLock);
        FSockets.push_back(S);
        FConnections.emplace_back([this, S] { Serve(S); });
    }
}

void TLoopbackHttpServer::Serve(int Socket)
{
    THttpRequest Request;
    if (ReadRequest(Socket, Request)) {
        {
            std::lock_guard Lock(FLock);
            FRequests.push_back(Request);
        }
        THttpConnection Connection(Socket);
        FHandler(Request, Connection);
    }
    shutdown(Socket, SHUT_WR);
    // The socket is closed only when the server stops, so that the stop's
    // shutdown never reaches a number the system has handed out again.
}

} // namespace Testing
