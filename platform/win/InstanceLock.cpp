#include "win/InstanceLock.h"
#include "rtl/Threads.h"
#include "win/WinApi.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr char Magic[4] = { 'Q', 'V', 'I', '1' };
constexpr UInt64 KindMessage = 1;
constexpr UInt64 KindCopyData = 2;
// A client that stalls holds the listener no longer than this.
constexpr int PeerTimeoutSeconds = 2;
constexpr size_t LongestComponent = 64;

// A descriptor closed when this goes.
struct TFd {
    int Fd = -1;
    TFd() = default;
    explicit TFd(int F)
        : Fd(F)
    { }
    TFd(TFd&& O) noexcept
        : Fd(std::exchange(O.Fd, -1))
    { }
    TFd& operator=(TFd&& O) noexcept
    {
        std::swap(Fd, O.Fd);
        return *this;
    }
    ~TFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
    explicit operator bool() const { return Fd >= 0; }
};

// A folder that is ours alone: a real folder (no link), owned by us,
// closed to everyone else.
bool OwnFolder(const std::string& Path, bool Create)
{
    if (Create && ::mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat St;
    if (::lstat(Path.c_str(), &St) != 0 || !S_ISDIR(St.st_mode) || St.st_uid != ::getuid())
        return false;
    return (St.st_mode & 077) == 0 || ::chmod(Path.c_str(), 0700) == 0;
}

// The folder of the lock and socket files, with its trailing "/"; empty
// when there is no folder we can trust.
std::string InstanceFolder(bool Create)
{
    const char* Runtime = std::getenv("XDG_RUNTIME_DIR");
    if (Runtime && Runtime[0] == '/') {
        const std::string Folder = std::string(Runtime) + "/quorvale";
        return OwnFolder(Folder, Create) ? Folder + "/" : std::string();
    }
    const char* Tmp = std::getenv("TMPDIR");
    const std::string Base = Tmp && Tmp[0] == '/' ? Tmp : "/tmp";
    const std::string Folder = Base + "/quorvale-" + std::to_string(::getuid());
    return OwnFolder(Folder, Create) ? Folder + "/" : std::string();
}

// The socket's address; a path too long for sun_path goes through the
// folder's descriptor (FolderFd must stay open while it is used).
bool SocketAddress(const std::string& Folder, const std::string& File, int FolderFd, sockaddr_un& Address)
{
    std::memset(&Address, 0, sizeof Address);
    Address.sun_family = AF_UNIX;
    std::string Path = Folder + File;
    if (Path.size() >= sizeof Address.sun_path)
        Path = "/proc/self/fd/" + std::to_string(FolderFd) + "/" + File;
    if (Path.size() >= sizeof Address.sun_path)
        return false;
    std::memcpy(Address.sun_path, Path.c_str(), Path.size());
    return true;
}

bool WriteAll(int Fd, const std::string& Data)
{
    size_t Done = 0;
    while (Done < Data.size()) {
        const ssize_t N = ::send(Fd, Data.data() + Done, Data.size() - Done, MSG_NOSIGNAL);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return false;
        Done += size_t(N);
    }
    return true;
}

bool ReadAll(int Fd, void* Buffer, size_t Size)
{
    auto* Out = static_cast<char*>(Buffer);
    size_t Done = 0;
    while (Done < Size) {
        const ssize_t N = ::recv(Fd, Out + Done, Size - Done, 0);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            return false;
        Done += size_t(N);
    }
    return true;
}

template<class T>
void Put(std::string& Out, T Value)
{
    Out.append(reinterpret_cast<const char*>(&Value), sizeof Value);
}

template<class T>
bool Get(int Fd, T& Value)
{
    return ReadAll(Fd, &Value, sizeof Value);
}

std::string Encode(const TInstanceRecord& R)
{
    std::string Out(Magic, sizeof Magic);
    const bool Copy = R.MessageName.empty();
    Put<UInt64>(Out, Copy ? KindCopyData : KindMessage);
    Put<UInt64>(Out, R.WParam);
    Put<Int64>(Out, R.LParam);
    if (Copy) {
        Put<UInt64>(Out, R.CopyDataKind);
        Put<UInt64>(Out, R.CopyData.size());
        Out.append(R.CopyData.begin(), R.CopyData.end());
    } else {
        const std::string Name = StringToUTF8(R.MessageName);
        Put<UInt64>(Out, Name.size());
        Out += Name;
    }
    return Out;
}

// One record, every length checked before anything is allocated.
bool Decode(int Fd, TInstanceRecord& R)
{
    char Head[sizeof Magic];
    UInt64 Kind = 0, WParam = 0, Size = 0;
    Int64 LParam = 0;
    if (!ReadAll(Fd, Head, sizeof Head) || std::memcmp(Head, Magic, sizeof Magic) != 0 || !Get(Fd, Kind) ||
        !Get(Fd, WParam) || !Get(Fd, LParam))
        return false;
    R.WParam = WPARAM(WParam);
    R.LParam = LPARAM(LParam);
    if (Kind == KindCopyData) {
        UInt64 DataKind = 0;
        if (!Get(Fd, DataKind) || !Get(Fd, Size) || Size > MaxInstanceCopyData)
            return false;
        R.CopyDataKind = ULONG_PTR(DataKind);
        R.CopyData.resize(size_t(Size));
        return ReadAll(Fd, R.CopyData.data(), R.CopyData.size());
    }
    if (Kind != KindMessage || !Get(Fd, Size) || Size == 0 || Size > MaxInstanceMessageName)
        return false;
    std::string Name(size_t(Size), '\0');
    if (!ReadAll(Fd, Name.data(), Name.size()))
        return false;
    R.MessageName = UTF8ToString(Name);
    return !R.MessageName.empty();
}

std::string LockFileOf(StringView Name)
{
    return InstanceFileName(Name) + ".lock";
}

std::string SocketFileOf(StringView Name)
{
    return InstanceFileName(Name) + ".sock";
}

}

struct TInstanceLock::TState {
    TFd Lock;
    TFd Folder;
    TFd Listener;
    TFd Stop;
    std::string SocketPath;
    TThreadID Owner = 0;
    HWND Target = nullptr;
    std::thread Thread;

    void Listen();
    void Serve(int Peer);
    void Deliver(TInstanceRecord Record);
};

void TInstanceLock::TState::Listen()
{
    for (;;) {
        pollfd Fds[2] = { { Listener.Fd, POLLIN, 0 }, { Stop.Fd, POLLIN, 0 } };
        if (::poll(Fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (Fds[1].revents)
            return;
        if (!(Fds[0].revents & POLLIN))
            continue;
        TFd Peer(::accept4(Listener.Fd, nullptr, nullptr, SOCK_CLOEXEC));
        if (Peer)
            Serve(Peer.Fd);
    }
}

void TInstanceLock::TState::Serve(int Peer)
{
    ucred Cred {};
    socklen_t Length = sizeof Cred;
    if (::getsockopt(Peer, SOL_SOCKET, SO_PEERCRED, &Cred, &Length) != 0 || Cred.uid != ::getuid())
        return;
    timeval Timeout { PeerTimeoutSeconds, 0 };
    ::setsockopt(Peer, SOL_SOCKET, SO_RCVTIMEO, &Timeout, sizeof Timeout);
    TInstanceRecord Record;
    if (Decode(Peer, Record))
        Deliver(std::move(Record));
}

void TInstanceLock::TState::Deliver(TInstanceRecord Record)
{
    if (!Record.MessageName.empty()) {
        // Only a name the program registered: nobody waits for another,
        // and strangers cannot use up the message numbers.
        if (UINT Id = FindWindowMessage(Record.MessageName))
            PostThreadMessage(Owner, Id, Record.WParam, Record.LParam);
        return;
    }
    TThread::Queue(nullptr, [Target = Target, Record = std::move(Record)]() mutable {
        COPYDATASTRUCT Data { Record.CopyDataKind, DWORD(Record.CopyData.size()), Record.CopyData.data() };
        SendMessage(Target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&Data));
    });
}

std::string InstanceFileName(StringView Name)
{
    const std::string Bytes = StringToUTF8(Name);
    std::string Out;
    for (size_t I = 0; I < Bytes.size(); ++I) {
        const unsigned char C = static_cast<unsigned char>(Bytes[I]);
        const bool Plain = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '-' ||
            C == '_' || (C == '.' && I > 0);
        if (Plain) {
            Out += char(C);
        } else {
            static constexpr char Hex[] = "0123456789ABCDEF";
            Out += '%';
            Out += Hex[C >> 4];
            Out += Hex[C & 15];
        }
    }
    if (Out.empty())
        Out = "%";
    if (Out.size() > LongestComponent) {
        // FNV-1a over the whole name keeps cut names apart.
        UInt64 Hash = 14695981039346656037ull;
        for (unsigned char C : Bytes)
            Hash = (Hash ^ C) * 1099511628211ull;
        char Tail[18];
        std::snprintf(Tail, sizeof Tail, "-%016llx", static_cast<unsigned long long>(Hash));
        Out = Out.substr(0, LongestComponent - 17) + Tail;
    }
    return Out;
}

TInstanceLock::TInstanceLock(std::unique_ptr<TState> State)
    : FState(std::move(State))
{ }

std::unique_ptr<TInstanceLock> TInstanceLock::Acquire(StringView Name, HWND Target)
{
    const std::string Folder = InstanceFolder(true);
    if (Folder.empty())
        return nullptr;
    auto State = std::make_unique<TState>();
    State->Lock = TFd(::open((Folder + LockFileOf(Name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!State->Lock || ::flock(State->Lock.Fd, LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    State->Owner = GetCurrentThreadId();
    State->Target = Target;

    // The lock is what counts; without a listener the instance still runs
    // alone, it only cannot be reached.
    State->Folder = TFd(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    State->Listener = TFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    State->Stop = TFd(::eventfd(0, EFD_CLOEXEC));
    sockaddr_un Address;
    const std::string File = SocketFileOf(Name);
    if (State->Folder && State->Listener && State->Stop && SocketAddress(Folder, File, State->Folder.Fd, Address)) {
        // A socket file left behind belongs to a holder that is gone: we
        // hold the lock now.
        ::unlinkat(State->Folder.Fd, File.c_str(), 0);
        if (::bind(State->Listener.Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address) == 0 &&
            ::fchmodat(State->Folder.Fd, File.c_str(), 0600, 0) == 0 && ::listen(State->Listener.Fd, 16) == 0) {
            State->SocketPath = Folder + File;
            TState* S = State.get();
            try {
                State->Thread = std::thread([S] { S->Listen(); });
            } catch (const std::system_error&) {
                // No thread to spare: the instance runs unreachable.
            }
        }
    }
    return std::unique_ptr<TInstanceLock>(new TInstanceLock(std::move(State)));
}

TInstanceLock::~TInstanceLock()
{
    if (FState->Thread.joinable()) {
        const UInt64 One = 1;
        if (::write(FState->Stop.Fd, &One, sizeof One) < 0) { }
        FState->Thread.join();
    }
    // The socket goes while the lock is still ours; the lock file stays,
    // so a process opening it meanwhile locks the same file.
    if (!FState->SocketPath.empty())
        ::unlink(FState->SocketPath.c_str());
}

bool SendInstanceRecord(StringView Name, const TInstanceRecord& Record)
{
    if (Record.MessageName.empty() ? Record.CopyData.size() > MaxInstanceCopyData
                                   : StringToUTF8(Record.MessageName).size() > MaxInstanceMessageName)
        return false;
    const std::string Folder = InstanceFolder(false);
    if (Folder.empty())
        return false;
    TFd FolderFd(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TFd Socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un Address;
    if (!FolderFd || !Socket || !SocketAddress(Folder, SocketFileOf(Name), FolderFd.Fd, Address))
        return false;
    timeval Timeout { PeerTimeoutSeconds, 0 };
    ::setsockopt(Socket.Fd, SOL_SOCKET, SO_SNDTIMEO, &Timeout, sizeof Timeout);
    if (::connect(Socket.Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0)
        return false;
    return WriteAll(Socket.Fd, Encode(Record));
}
