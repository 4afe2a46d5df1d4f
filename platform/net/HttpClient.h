// The HTTP client the network layer talks through: GET, HEAD and POST of
// form fields on libcurl, one blocking request at a time on the calling
// thread.
//
// What it takes for granted and what it refuses:
// - only http and https, on the first request and on every redirect hop,
//   at most MaxRedirects hops; each hop is offered to OnRedirect first;
// - certificates are verified; no Accept-Encoding is sent, so a body is
//   taken exactly as the server sent it;
// - a proxy is used only when one is set here, never from the environment;
// - a transfer that stalls, or drips slower than MinBytesPerSecond, for
//   ReadTimeout milliseconds ends with a socket error (ETIMEDOUT);
// - a body larger than MaxContentBytes (when set) ends the transfer.
// A handler that raises aborts the transfer; the exception reaches the
// caller of Get/Head/Post as it was raised.
#pragma once
#include "rtl/Exceptions.h"
#include "rtl/Types.h"
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <vector>

class TStream;
class TStrings;

// A failure below HTTP: no connection, a reset, a time-out, a refused
// scheme. ErrorCode is the system's error number (ETIMEDOUT, ECONNREFUSED,
// ...), 0 when the transport named none.
class EHttpSocketError : public Exception {
public:
    EHttpSocketError(String Message, int Code) : Exception(std::move(Message)), ErrorCode(Code) { }
    const char16_t* ClassName() const override { return u"EHttpSocketError"; }
    int ErrorCode;
};

// The server answered with an error status (400 and above), or a redirect
// nobody followed.
class EHttpProtocolError : public Exception {
public:
    EHttpProtocolError(String Message, int Code) : Exception(std::move(Message)), ResponseCode(Code) { }
    const char16_t* ClassName() const override { return u"EHttpProtocolError"; }
    int ResponseCode;
};

// A limit of ours ended the transfer: too many redirects, a body beyond
// MaxContentBytes.
X_EXCEPTION(EHttpLimitError, Exception)

enum class THttpWorkMode { Read, Write };

struct THttpProxy {
    bool Enabled = false;
    String Server;
    Integer Port = 0;
    String UserName;
    String Password;
};

class THttpClient {
public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Milliseconds without progress (or below MinBytesPerSecond) before a
    // transfer ends; also the connect time-out. 0: no limit.
    Integer ReadTimeout = 60000;
    Integer MinBytesPerSecond = 100;
    bool HandleRedirects = false;
    Integer MaxRedirects = 10;
    Int64 MaxContentBytes = 0; // 0: no cap
    String Referer;
    String UserAgent;
    THttpProxy Proxy;

    // Offered every redirect: Handled starts as HandleRedirects; the hop is
    // followed when it is True on return. NewURL is absolute.
    std::function<void(const String& NewURL, bool& Handled)> OnRedirect;
    // Reading a reply's body: its announced length (-1 unknown), then the
    // bytes so far, then its end. Mode is always Read: sending a request
    // body reports nothing.
    std::function<void(THttpWorkMode Mode, Int64 Max)> OnWorkBegin;
    std::function<void(THttpWorkMode Mode, Int64 Position)> OnWork;
    std::function<void(THttpWorkMode Mode)> OnWorkEnd;

    // The body goes to Dest (nil drops it).
    void Get(const String& URL, TStream* Dest);
    void Head(const String& URL);
    // Fields are "name=value" lines, sent form-encoded.
    void Post(const String& URL, const TStrings* Fields, TStream* Dest);

    // From another thread or a handler: the running transfer ends with an
    // EHttpSocketError (ECONNABORTED) unless a handler's own exception does.
    void Disconnect();
    bool Connected() const;

    // The last reply.
    Integer ResponseCode() const { return FResponseCode; }
    Int64 ContentLength() const { return FContentLength; } // -1 unknown
    const String& ContentType() const { return FContentType; }
    const String& URL() const { return FURL; } // where the last hop went

    // The form body Post sends for Fields, for callers that log it.
    static std::string EncodeFormFields(const TStrings* Fields);

    // One request's state, shared with libcurl's callbacks.
    struct TTransfer;

private:
    void Perform(const String& URL, const std::string* PostBody, TStream* Dest, bool HeadOnly);
    void PerformHop(TTransfer& T);

    void* FCurl = nullptr;
    std::atomic<bool> FAbort { false };
    std::atomic<bool> FConnected { false };
    Integer FResponseCode = 0;
    Int64 FContentLength = -1;
    String FContentType;
    String FURL;
};

// Tests: host:port pairs to send elsewhere ("HOST:PORT:CONNECT-TO-HOST:
// CONNECT-TO-PORT" as libcurl's CONNECT_TO takes them), for every client
// of the process.
void SetHttpConnectToForTesting(std::vector<std::string> Entries);

// A program may install a check that every socket the client opens must
// pass (test programs refuse every address but the loopback ones). It is
// looked up by name, so the network layer needs no link to the tests.
extern "C" bool x_net_socket_allowed(const struct sockaddr* Address) __attribute__((weak));
