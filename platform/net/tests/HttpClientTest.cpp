#include "net/HttpClient.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include "rtl/testing/HttpServer.h"
#include "rtl/testing/Testing.h"
#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using Testing::THttpConnection;
using Testing::THttpHandler;
using Testing::THttpRequest;
using Testing::TLoopbackHttpServer;

namespace {

std::string Body(TMemoryStream& S)
{
    auto B = Testing::StreamBytes(&S);
    return std::string(B.begin(), B.end());
}

// What a request ended with: "ok", or the exception's class and code.
std::string Outcome(const std::function<void()>& Request)
{
    try {
        Request();
        return "ok";
    } catch (const EHttpSocketError& E) {
        return "socket " + std::to_string(E.ErrorCode);
    } catch (const EHttpProtocolError& E) {
        return "protocol " + std::to_string(E.ResponseCode);
    } catch (const EHttpLimitError&) {
        return "limit";
    } catch (const Exception& E) {
        return "other " + Testing::U8(E.Message());
    }
}

// Sends Reply, then (for a drip) the rest a byte at a time.
THttpHandler Send(std::string Reply)
{
    return [Reply](const THttpRequest&, THttpConnection& C) { C.Send(Reply); };
}

} // namespace

TEST(HttpClient, GetDeliversTheBodyWithWorkEvents)
{
    std::string Payload(300000, 'x');
    TLoopbackHttpServer Server(Send(TLoopbackHttpServer::Reply(200, Payload, "Content-Type: text/plain\r\n")));
    THttpClient Client;
    std::vector<std::string> Events;
    Int64 Last = 0;
    bool Rising = true;
    Client.OnWorkBegin = [&](THttpWorkMode, Int64 Max) { Events.push_back("begin " + std::to_string(Max)); };
    Client.OnWork = [&](THttpWorkMode, Int64 Pos) {
        Rising = Rising && Pos > Last;
        Last = Pos;
    };
    Client.OnWorkEnd = [&](THttpWorkMode) { Events.push_back("end"); };
    TMemoryStream Dest;
    Client.Get(UTF8ToString(Server.URL("/a?b=1")), &Dest);
    EXPECT_EQ(Body(Dest), Payload);
    EXPECT_EQ(Events, (std::vector<std::string> { "begin 300000", "end" }));
    EXPECT_TRUE(Rising);
    EXPECT_EQ(Last, 300000);
    EXPECT_EQ(Client.ResponseCode(), 200);
    EXPECT_EQ(Testing::U8(Client.ContentType()), "text/plain");
    EXPECT_EQ(Server.Requests().at(0).Target, "/a?b=1");
    // Bodies are taken as sent: nothing asks for a compressed one.
    EXPECT_EQ(Server.Requests().at(0).Headers.count("accept-encoding"), 0u);
}

TEST(HttpClient, HeadGivesTheLengthOrMinusOne)
{
    struct {
        std::string Reply;
        Int64 Length;
    } Cases[] = {
        { "HTTP/1.1 200 OK\r\nContent-Length: 12345\r\nConnection: close\r\n\r\n", 12345 },
        { "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", -1 },
    };
    for (const auto& C : Cases) {
        TLoopbackHttpServer Server(Send(C.Reply));
        THttpClient Client;
        Client.Head(UTF8ToString(Server.URL()));
        EXPECT_EQ(Client.ContentLength(), C.Length) << C.Reply;
        EXPECT_EQ(Server.Requests().at(0).Method, "HEAD");
    }
}

TEST(HttpClient, PostedFieldsReadBackWithPythonsParser)
{
    if (!Testing::HaveTool("python3"))
        GTEST_SKIP() << "python3 is not installed";
    TLoopbackHttpServer Server(Send(TLoopbackHttpServer::Reply(200, "done")));
    TStringList Fields;
    Fields.Add(u"app=kxr");
    Fields.Add(u"q=a=b&c");
    Fields.Add(u"blank=");
    Fields.Add(u"space=two words\ttab");
    Fields.Add(u"utf=\u00e9\u4e2d\u0416");
    THttpClient Client;
    Client.Referer = u"XNet Client 1.0";
    Client.UserAgent = u"Agent/1";
    TMemoryStream Reply;
    Client.Post(UTF8ToString(Server.URL("/cgi")), &Fields, &Reply);
    EXPECT_EQ(Body(Reply), "done");
    auto Request = Server.Requests().at(0);
    EXPECT_EQ(Request.Method, "POST");
    EXPECT_EQ(Request.Headers["referer"], "XNet Client 1.0");
    EXPECT_EQ(Request.Headers["user-agent"], "Agent/1");
    EXPECT_EQ(Request.Headers["content-type"], "application/x-www-form-urlencoded");
    auto Parsed = Testing::RunTool({ "python3", "-c",
                                       "import sys, urllib.parse\n"
                                       "for k, v in urllib.parse.parse_qsl(sys.stdin.read(), keep_blank_values=True):\n"
                                       "    print(k + '=' + v)\n" },
        {}, Request.Body);
    EXPECT_EQ(Parsed.Output, "app=kxr\nq=a=b&c\nblank=\nspace=two words\ttab\nutf=\u00e9\u4e2d\u0416\n");
}

TEST(HttpClient, RedirectsAreOfferedAndBounded)
{
    // /loop redirects to itself; /moved to /final; /ftp and /file to schemes
    // nobody opens.
    TLoopbackHttpServer* Self = nullptr;
    TLoopbackHttpServer Server([&](const THttpRequest& R, THttpConnection& C) {
        auto To = [&](const std::string& Where) {
            C.Send(TLoopbackHttpServer::Reply(302, "moved", "Location: " + Where + "\r\n"));
        };
        if (R.Target == "/loop")
            To(Self->URL("/loop"));
        else if (R.Target == "/moved")
            To("/final");
        else if (R.Target == "/ftp")
            To("ftp://127.0.0.1/x");
        else if (R.Target == "/file")
            To("file:///etc/passwd");
        else
            C.Send(TLoopbackHttpServer::Reply(200, "final"));
    });
    Self = &Server;
    struct {
        const char* Path;
        bool Follow;
        bool Refuse; // a handler that raises
        std::string Outcome;
        std::string Body;
    } Cases[] = {
        { "/moved", false, false, "protocol 302", "" },
        { "/moved", true, false, "ok", "final" },
        { "/moved", true, true, "other refused", "" },
        { "/loop", true, false, "limit", "" },
        { "/ftp", true, false, "socket " + std::to_string(EPROTONOSUPPORT), "" },
        { "/file", true, false, "socket " + std::to_string(EPROTONOSUPPORT), "" },
    };
    for (const auto& C : Cases) {
        THttpClient Client;
        Client.HandleRedirects = C.Follow;
        std::vector<std::string> Offered;
        if (C.Refuse)
            Client.OnRedirect = [](const String&, bool&) { throw Exception(u"refused"); };
        else
            Client.OnRedirect = [&](const String& To, bool&) { Offered.push_back(Testing::U8(To)); };
        TMemoryStream Dest;
        EXPECT_EQ(Outcome([&] { Client.Get(UTF8ToString(Server.URL(C.Path)), &Dest); }), C.Outcome) << C.Path;
        // A redirect's own body never reaches the caller.
        EXPECT_EQ(Body(Dest), C.Body) << C.Path;
        if (std::string(C.Path) == "/loop" && C.Follow)
            EXPECT_EQ(Offered.size(), 10u);
        if (std::string(C.Path) == "/moved" && C.Follow && !C.Refuse)
            EXPECT_EQ(Offered, (std::vector<std::string> { Server.URL("/final") }));
    }
}

TEST(HttpClient, HostileRepliesEndWithAnErrorAndBoundedBodies)
{
    const std::string Gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x01\x00\x00\xff\xff\x00\x00\x00\x00\x00\x00\x00\x00", 23);
    struct {
        const char* Name;
        THttpHandler Handler;
        std::string Outcome;
        size_t MaxDelivered;
    } Cases[] = {
        { "not found", Send(TLoopbackHttpServer::Reply(404, "missing")), "protocol 404", 0 },
        { "negative length", Send("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc"), "socket 0", 0 },
        { "truncated", Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789"), "socket 0", 10 },
        { "announced beyond the cap", Send(TLoopbackHttpServer::Reply(200, std::string(2 << 20, 'a'))), "limit", 0 },
        { "endless", [](const THttpRequest&, THttpConnection& C) {
             C.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
             std::string Chunk(65536, 'e');
             while (C.Send(Chunk)) { }
         },
            "limit", 1 << 20 },
        { "gzip sent unasked", Send(TLoopbackHttpServer::Reply(200, Gzip, "Content-Encoding: gzip\r\n")), "ok", Gzip.size() },
        { "a megabyte of header", Send("HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'h') + "\r\n\r\n"),
            "socket 0", 0 },
        { "stall", [](const THttpRequest&, THttpConnection& C) {
             C.Send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
             C.WaitForClose();
         },
            "socket " + std::to_string(ETIMEDOUT), 0 },
        { "drip", [](const THttpRequest&, THttpConnection& C) {
             C.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
             for (int I = 0; I < 60 && C.Send("d"); ++I)
                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
         },
            "socket " + std::to_string(ETIMEDOUT), 60 },
    };
    for (auto& C : Cases) {
        TLoopbackHttpServer Server(C.Handler);
        THttpClient Client;
        Client.MaxContentBytes = 1 << 20;
        // A slow peer stands in for a dead one: the limit is short here.
        Client.ReadTimeout = 400;
        TMemoryStream Dest;
        auto Start = std::chrono::steady_clock::now();
        EXPECT_EQ(Outcome([&] { Client.Get(UTF8ToString(Server.URL()), &Dest); }), C.Outcome) << C.Name;
        EXPECT_LE(static_cast<size_t>(Dest.Size()), C.MaxDelivered) << C.Name;
        EXPECT_LT(std::chrono::steady_clock::now() - Start, std::chrono::seconds(3)) << C.Name;
        if (std::string(C.Name) == "gzip sent unasked")
            EXPECT_EQ(Body(Dest), Gzip);
    }
}

TEST(HttpClient, HandlersStopATransfer)
{
    TLoopbackHttpServer Server([](const THttpRequest&, THttpConnection& C) {
        C.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        std::string Chunk(65536, 'e');
        while (C.Send(Chunk)) { }
    });
    {
        // What a handler raises reaches the caller as it was.
        THttpClient Client;
        Client.OnWork = [](THttpWorkMode, Int64 Pos) {
            if (Pos > 100000)
                throw EAbort(u"cancelled");
        };
        EXPECT_EQ(Outcome([&] { Client.Get(UTF8ToString(Server.URL()), nullptr); }), "other cancelled");
    }
    {
        THttpClient Client;
        Client.OnWork = [&](THttpWorkMode, Int64 Pos) {
            if (Pos > 100000)
                Client.Disconnect();
        };
        EXPECT_EQ(Outcome([&] { Client.Get(UTF8ToString(Server.URL()), nullptr); }), "socket " + std::to_string(ECONNABORTED));
        EXPECT_FALSE(Client.Connected());
    }
}

TEST(HttpClient, ConnectionsReachOnlyTheLoopback)
{
    TLoopbackHttpServer Server(Send(TLoopbackHttpServer::Reply(200, "here")));
    int Closed;
    {
        TLoopbackHttpServer Gone(Send(""));
        Closed = Gone.Port();
    }
    THttpClient Client;
    Client.ReadTimeout = 2000;
    TMemoryStream Dest;
    EXPECT_EQ(Outcome([&] { Client.Get(UTF8ToString("http://127.0.0.1:" + std::to_string(Closed) + "/"), &Dest); }),
        "socket " + std::to_string(ECONNREFUSED));
    // The test programs' guard refuses any other address before a packet
    // leaves.
    EXPECT_NE(Outcome([&] { Client.Get(u"http://192.0.2.1/", &Dest); }), "ok");
    // Names of ours go to the loopback server through the test seam.
    SetHttpConnectToForTesting({ Server.ConnectTo("www.servers.invalid") });
    EXPECT_EQ(Outcome([&] { Client.Get(u"http://www.servers.invalid/cgi", &Dest); }), "ok");
    SetHttpConnectToForTesting({});
    EXPECT_EQ(Body(Dest), "here");
    EXPECT_EQ(Server.Requests().at(0).Headers["host"], "www.servers.invalid");
}

TEST(HttpClient, ProxyOnlyFromTheSettings)
{
    TLoopbackHttpServer Origin(Send(TLoopbackHttpServer::Reply(200, "direct")));
    TLoopbackHttpServer Proxy(Send(TLoopbackHttpServer::Reply(200, "proxied")));
    // The environment names a proxy; a client without settings ignores it.
    Testing::TScopedEnv Env("http_proxy", Proxy.URL());
    Testing::TScopedEnv Env2("HTTP_PROXY", Proxy.URL());
    THttpClient Client;
    TMemoryStream Direct;
    Client.Get(UTF8ToString(Origin.URL("/x")), &Direct);
    EXPECT_EQ(Body(Direct), "direct");
    EXPECT_TRUE(Proxy.Requests().empty());

    Client.Proxy.Enabled = true;
    Client.Proxy.Server = u"127.0.0.1";
    Client.Proxy.Port = Proxy.Port();
    Client.Proxy.UserName = u"user";
    Client.Proxy.Password = u"p|w";
    TMemoryStream Through;
    Client.Get(UTF8ToString(Origin.URL("/x")), &Through);
    EXPECT_EQ(Body(Through), "proxied");
    auto Request = Proxy.Requests().at(0);
    EXPECT_EQ(Request.Target, Origin.URL("/x"));
    EXPECT_EQ(Request.Headers["proxy-authorization"], "Basic dXNlcjpwfHc="); // user:p|w
}
