#include "net/HttpClient.h"
#include "rtl/StringList.h"
#include "rtl/Streams.h"
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <exception>
#include <mutex>
#include <optional>
#include <strings.h>

namespace {

std::mutex GConnectToLock;
std::vector<std::string> GConnectTo;

void GlobalInit()
{
    static std::once_flag Once;
    std::call_once(Once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool HasWebScheme(const std::string& URL)
{
    return strncasecmp(URL.c_str(), "http://", 7) == 0 || strncasecmp(URL.c_str(), "https://", 8) == 0;
}

bool IsRedirect(long Code)
{
    return Code == 301 || Code == 302 || Code == 303 || Code == 307 || Code == 308;
}

// A curl string list freed with its owner.
struct TSList {
    curl_slist* List = nullptr;
    ~TSList() { curl_slist_free_all(List); }
    void Add(const std::string& S)
    {
        if (curl_slist* Next = curl_slist_append(List, S.c_str()))
            List = Next;
        else
            throw EOutOfMemory(u"Out of memory");
    }
};

using TClock = std::chrono::steady_clock;

} // namespace

void SetHttpConnectToForTesting(std::vector<std::string> Entries)
{
    std::lock_guard Lock(GConnectToLock);
    GConnectTo = std::move(Entries);
}

// What one hop's callbacks share with the request.
struct THttpClient::TTransfer {
    THttpClient* Client = nullptr;
    std::string URL;
    const std::string* PostBody = nullptr;
    TStream* Dest = nullptr;
    bool HeadOnly = false;

    // The reply being read; every status line starts a new one.
    long Status = 0;
    Int64 Length = -1;
    std::string ContentType;
    bool Delivering = false; // the body goes to Dest and the work events
    Int64 Received = 0;

    // The stall and drip watch.
    TClock::time_point WindowStart;
    curl_off_t WindowBytes = 0;
    bool TimedOut = false;
    bool Capped = false;
    std::exception_ptr Raised;
};

namespace {

using TTransfer = THttpClient::TTransfer;

} // namespace

THttpClient::THttpClient()
{
    GlobalInit();
    FCurl = curl_easy_init();
    if (!FCurl)
        throw EOutOfMemory(u"Out of memory");
}

THttpClient::~THttpClient()
{
    curl_easy_cleanup(static_cast<CURL*>(FCurl));
}

void THttpClient::Disconnect()
{
    FAbort = true;
}

bool THttpClient::Connected() const
{
    return FConnected && !FAbort;
}

std::string THttpClient::EncodeFormFields(const TStrings* Fields)
{
    std::string Body;
    if (!Fields)
        return Body;
    auto Escape = [](const std::string& S) {
        std::string Out;
        char* E = curl_easy_escape(nullptr, S.data(), static_cast<int>(S.size()));
        if (!E)
            throw EOutOfMemory(u"Out of memory");
        Out = E;
        curl_free(E);
        return Out;
    };
    for (Integer I = 0; I < Fields->Count(); ++I) {
        std::string Line = StringToUTF8(Fields->Strings(I));
        size_t Eq = Line.find('=');
        if (!Body.empty())
            Body += '&';
        if (Eq == std::string::npos)
            Body += Escape(Line) + "=";
        else
            Body += Escape(Line.substr(0, Eq)) + "=" + Escape(Line.substr(Eq + 1));
    }
    return Body;
}

void THttpClient::Get(const String& URL, TStream* Dest)
{
    Perform(URL, nullptr, Dest, false);
}

void THttpClient::Head(const String& URL)
{
    Perform(URL, nullptr, nullptr, true);
}

void THttpClient::Post(const String& URL, const TStrings* Fields, TStream* Dest)
{
    std::string Body = EncodeFormFields(Fields);
    Perform(URL, &Body, Dest, false);
}

void THttpClient::Perform(const String& URL, const std::string* PostBody, TStream* Dest, bool HeadOnly)
{
    FAbort = false;
    FResponseCode = 0;
    FContentLength = -1;
    FContentType.clear();
    TTransfer T;
    T.Client = this;
    T.URL = StringToUTF8(URL);
    T.PostBody = PostBody;
    T.Dest = Dest;
    T.HeadOnly = HeadOnly;
    for (Integer Hops = 0;; ++Hops) {
        FURL = UTF8ToString(T.URL);
        if (!HasWebScheme(T.URL))
            throw EHttpSocketError(u"Only http and https addresses are opened: " + FURL, EPROTONOSUPPORT);
        PerformHop(T);
        char* Next = nullptr;
        curl_easy_getinfo(static_cast<CURL*>(FCurl), CURLINFO_REDIRECT_URL, &Next);
        if (IsRedirect(T.Status) && Next) {
            std::string NextURL = Next;
            if (Hops + 1 > MaxRedirects)
                throw EHttpLimitError(u"Too many redirects");
            if (!HasWebScheme(NextURL))
                throw EHttpSocketError(u"Only http and https addresses are opened: " + UTF8ToString(NextURL), EPROTONOSUPPORT);
            bool Handled = HandleRedirects;
            if (OnRedirect)
                OnRedirect(UTF8ToString(NextURL), Handled);
            if (!Handled)
                throw EHttpProtocolError(u"Redirect not followed: " + UTF8ToString(NextURL), static_cast<int>(T.Status));
            // As browsers do: a form posted to a moved page is fetched
            // there; only 307 and 308 ask for the same method again.
            if (T.Status != 307 && T.Status != 308)
                T.PostBody = nullptr;
            T.URL = std::move(NextURL);
            continue;
        }
        if (T.Status >= 400 || IsRedirect(T.Status))
            throw EHttpProtocolError(UTF8ToString("HTTP/1.1 " + std::to_string(T.Status)), static_cast<int>(T.Status));
        return;
    }
}

namespace {

size_t OnHeader(char* Data, size_t Size, size_t Count, void* User)
{
    auto& T = *static_cast<TTransfer*>(User);
    size_t N = Size * Count;
    std::string_view Line(Data, N);
    try {
        if (Line.starts_with("HTTP/")) {
            // A new reply: an interim 100, a redirect, or the final one.
            size_t Sp = Line.find(' ');
            T.Status = Sp == std::string_view::npos ? 0 : std::strtol(std::string(Line.substr(Sp + 1, 3)).c_str(), nullptr, 10);
            T.Length = -1;
            T.ContentType.clear();
            T.Delivering = false;
            return N;
        }
        auto Field = [&](std::string_view Name) -> std::optional<std::string_view> {
            if (Line.size() <= Name.size() || strncasecmp(Line.data(), Name.data(), Name.size()) != 0)
                return std::nullopt;
            std::string_view V = Line.substr(Name.size());
            while (!V.empty() && (V.front() == ' ' || V.front() == '\t'))
                V.remove_prefix(1);
            while (!V.empty() && (V.back() == '\r' || V.back() == '\n' || V.back() == ' '))
                V.remove_suffix(1);
            return V;
        };
        if (auto V = Field("content-length:")) {
            char* End = nullptr;
            std::string S(*V);
            long long L = std::strtoll(S.c_str(), &End, 10);
            T.Length = (End && *End == 0 && !S.empty() && L >= 0) ? L : -1;
        } else if (auto V = Field("content-type:")) {
            T.ContentType = std::string(*V);
        } else if (Line == "\r\n" || Line == "\n") {
            // The headers are complete: a reply whose body is ours starts.
            if (T.Status >= 200 && T.Status < 300) {
                auto& C = *T.Client;
                T.Delivering = true;
                T.Received = 0;
                if (C.MaxContentBytes > 0 && T.Length > C.MaxContentBytes) {
                    T.Capped = true;
                    return 0;
                }
                if (C.OnWorkBegin)
                    C.OnWorkBegin(THttpWorkMode::Read, T.Length);
            }
        }
        return N;
    } catch (...) {
        T.Raised = std::current_exception();
        return 0;
    }
}

size_t OnBody(char* Data, size_t Size, size_t Count, void* User)
{
    auto& T = *static_cast<TTransfer*>(User);
    size_t N = Size * Count;
    if (!T.Delivering)
        return N; // a redirect's or an error's body
    try {
        auto& C = *T.Client;
        if (C.MaxContentBytes > 0 && T.Received + static_cast<Int64>(N) > C.MaxContentBytes) {
            T.Capped = true;
            return 0;
        }
        if (T.Dest)
            T.Dest->WriteBuffer(Data, static_cast<Int64>(N));
        T.Received += static_cast<Int64>(N);
        if (C.OnWork)
            C.OnWork(THttpWorkMode::Read, T.Received);
        return N;
    } catch (...) {
        T.Raised = std::current_exception();
        return 0;
    }
}

int OnProgress(void* User, curl_off_t DlTotal, curl_off_t DlNow, curl_off_t UlTotal, curl_off_t UlNow)
{
    auto& T = *static_cast<TTransfer*>(User);
    auto& C = *T.Client;
    if (!C.Connected())
        return 1;
    if (C.ReadTimeout <= 0)
        return 0;
    // Every window of ReadTimeout must bring a rate's worth of bytes: a
    // stall ends, and so does a drip that would never end.
    auto Now = TClock::now();
    curl_off_t Moved = DlNow + UlNow;
    curl_off_t Needed = std::max<curl_off_t>(1, static_cast<curl_off_t>(C.MinBytesPerSecond) * C.ReadTimeout / 1000);
    if (Moved - T.WindowBytes >= Needed) {
        T.WindowStart = Now;
        T.WindowBytes = Moved;
    } else if (Now - T.WindowStart >= std::chrono::milliseconds(C.ReadTimeout)) {
        T.TimedOut = true;
        return 1;
    }
    return 0;
}

curl_socket_t OnOpenSocket(void*, curlsocktype, curl_sockaddr* Address)
{
    if (x_net_socket_allowed && !x_net_socket_allowed(&Address->addr))
        return CURL_SOCKET_BAD;
    return socket(Address->family, Address->socktype, Address->protocol);
}

} // namespace

void THttpClient::PerformHop(TTransfer& T)
{
    CURL* H = static_cast<CURL*>(FCurl);
    curl_easy_reset(H);
    T.Status = 0;
    T.Length = -1;
    T.ContentType.clear();
    T.Delivering = false;
    T.WindowStart = TClock::now();
    T.WindowBytes = 0;

    char ErrorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(H, CURLOPT_ERRORBUFFER, ErrorText);
    curl_easy_setopt(H, CURLOPT_URL, T.URL.c_str());
    curl_easy_setopt(H, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(H, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(H, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(H, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(H, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(H, CURLOPT_SSL_VERIFYHOST, 2L);
    if (ReadTimeout > 0)
        curl_easy_setopt(H, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(ReadTimeout));
    if (MaxContentBytes > 0)
        curl_easy_setopt(H, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(MaxContentBytes));
    if (!Referer.empty())
        curl_easy_setopt(H, CURLOPT_REFERER, StringToUTF8(Referer).c_str());
    if (!UserAgent.empty())
        curl_easy_setopt(H, CURLOPT_USERAGENT, StringToUTF8(UserAgent).c_str());

    // An empty proxy turns off the environment's proxies too.
    std::string ProxyURL, ProxyUser, ProxyPassword;
    if (Proxy.Enabled && !Proxy.Server.empty()) {
        ProxyURL = StringToUTF8(Proxy.Server);
        if (Proxy.Port > 0)
            curl_easy_setopt(H, CURLOPT_PROXYPORT, static_cast<long>(Proxy.Port));
        ProxyUser = StringToUTF8(Proxy.UserName);
        ProxyPassword = StringToUTF8(Proxy.Password);
        if (!ProxyUser.empty()) {
            curl_easy_setopt(H, CURLOPT_PROXYUSERNAME, ProxyUser.c_str());
            curl_easy_setopt(H, CURLOPT_PROXYPASSWORD, ProxyPassword.c_str());
        }
    }
    curl_easy_setopt(H, CURLOPT_PROXY, ProxyURL.c_str());

    TSList ConnectTo;
    {
        std::lock_guard Lock(GConnectToLock);
        for (const auto& E : GConnectTo)
            ConnectTo.Add(E);
    }
    if (ConnectTo.List)
        curl_easy_setopt(H, CURLOPT_CONNECT_TO, ConnectTo.List);

    if (T.HeadOnly)
        curl_easy_setopt(H, CURLOPT_NOBODY, 1L);
    else if (T.PostBody) {
        curl_easy_setopt(H, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(T.PostBody->size()));
        curl_easy_setopt(H, CURLOPT_POSTFIELDS, T.PostBody->data());
    }
    curl_easy_setopt(H, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(H, CURLOPT_HEADERDATA, &T);
    curl_easy_setopt(H, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(H, CURLOPT_WRITEDATA, &T);
    curl_easy_setopt(H, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(H, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(H, CURLOPT_XFERINFODATA, &T);
    curl_easy_setopt(H, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);

    FConnected = true;
    CURLcode Result = curl_easy_perform(H);
    FConnected = false;
    curl_easy_setopt(H, CURLOPT_ERRORBUFFER, nullptr);

    long Code = 0;
    curl_easy_getinfo(H, CURLINFO_RESPONSE_CODE, &Code);
    FResponseCode = static_cast<Integer>(Code);
    FContentLength = T.Length;
    FContentType = UTF8ToString(T.ContentType);

    if (T.Raised)
        std::rethrow_exception(T.Raised);
    if (Result == CURLE_OK) {
        if (T.Delivering && OnWorkEnd)
            OnWorkEnd(THttpWorkMode::Read);
        return;
    }
    if (T.Capped || Result == CURLE_FILESIZE_EXCEEDED)
        throw EHttpLimitError(u"The reply is larger than allowed");
    if (T.TimedOut || Result == CURLE_OPERATION_TIMEDOUT)
        throw EHttpSocketError(u"Read timed out", ETIMEDOUT);
    if (FAbort)
        throw EHttpSocketError(u"Connection closed", ECONNABORTED);
    long OsError = 0;
    curl_easy_getinfo(H, CURLINFO_OS_ERRNO, &OsError);
    std::string Text = ErrorText[0] ? ErrorText : curl_easy_strerror(Result);
    throw EHttpSocketError(UTF8ToString(Text), static_cast<int>(OsError));
}
