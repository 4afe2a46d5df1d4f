// Streams over file descriptors and named files, with share modes kept by
// open-file-description locks.
//
// Share modes: every open of a file takes locks in four regions far beyond
// any real data (just below the largest file offset):
//
//     region 0  "I read"        held by opens with read access
//     region 1  "I write"       held by opens with write access
//     region 2  "I deny read"   held by opens that deny reading
//     region 3  "I deny write"  held by opens that deny writing
//
// An open first takes its own locks, then tests the regions that could
// refuse it: reading tests region 2, writing region 3, denying read tests
// region 0, denying write region 1. Any lock there held by another open
// refuses this one. Taking before testing means two racing opens that
// conflict cannot both succeed (at worst both are refused).
//
// Locks of one open file description never conflict with each other, and
// every open has its own description, so opens inside one process see each
// other as well. A descriptor opened for reading holds a shared lock on the
// region's first byte; a write-only descriptor can only hold an exclusive
// lock, so it takes one on a byte of its own elsewhere in the region. The
// test is an F_OFD_GETLK for an exclusive lock over the whole region.
// The locks go when the descriptor is closed.
#include "rtl/Streams.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

X_REGISTER_CLASS(THandleStream)
X_REGISTER_CLASS(TFileStream)

namespace {

// The most one read(2) or write(2) is asked to move.
constexpr Int64 MaxTransfer = 0x40000000;

constexpr off_t RegionSize = off_t(1) << 32;
constexpr off_t RegionBase = std::numeric_limits<off_t>::max() - 4 * RegionSize;
enum TShareRegion { srRead, srWrite, srDenyRead, srDenyWrite };

constexpr const char16_t* ShareViolation = u"The file is in use, and the way it is shared refuses this open.";

String FormatOpenError(const char16_t* Pattern, const String& FileName, const String& Reason)
{
    String Out;
    int Arg = 0;
    for (const char16_t* P = Pattern; *P; ++P) {
        if (P[0] == u'%' && P[1] == u's') {
            Out += Arg++ == 0 ? FileName : Reason;
            ++P;
        } else {
            Out.push_back(*P);
        }
    }
    return Out;
}

[[noreturn]] void RaiseOpenError(bool Creating, const String& FileName, int Error)
{
    String Reason = Error == EBUSY ? String(ShareViolation) : S(std::strerror(Error));
    if (Creating) {
        EFCreateError E(FormatOpenError(RtlText::FCreateError, FileName, Reason));
        E.ErrorCode = Error;
        throw E;
    }
    EFOpenError E(FormatOpenError(RtlText::FOpenError, FileName, Reason));
    E.ErrorCode = Error;
    throw E;
}

flock RegionLock(short Type, TShareRegion Region, off_t Offset, off_t Length)
{
    flock L {};
    L.l_type = Type;
    L.l_whence = SEEK_SET;
    L.l_start = RegionBase + Region * RegionSize + Offset;
    L.l_len = Length;
    L.l_pid = 0;
    return L;
}

bool LockingUnsupported(int Error)
{
    return Error == EINVAL || Error == ENOLCK || Error == EOPNOTSUPP || Error == ENOSYS;
}

// Takes this open's lock in Region. Answers 0, or the errno.
int HoldRegion(int Fd, bool Readable, TShareRegion Region)
{
    if (Readable) {
        flock L = RegionLock(F_RDLCK, Region, 0, 1);
        return fcntl(Fd, F_OFD_SETLK, &L) == 0 ? 0 : errno;
    }
    // A byte of our own; another write-only open may by chance have taken
    // the same one, then try another.
    thread_local std::mt19937_64 Random { std::random_device {}() };
    std::uniform_int_distribution<off_t> Pick(1, RegionSize - 1);
    int Error = EAGAIN;
    for (int Try = 0; Try < 32 && (Error == EAGAIN || Error == EACCES); ++Try) {
        flock L = RegionLock(F_WRLCK, Region, Pick(Random), 1);
        Error = fcntl(Fd, F_OFD_SETLK, &L) == 0 ? 0 : errno;
    }
    return Error;
}

// Answers 0 when no other open holds a lock in Region, EBUSY when one
// does, or the errno of the test.
int TestRegion(int Fd, TShareRegion Region)
{
    flock L = RegionLock(F_WRLCK, Region, 0, RegionSize);
    if (fcntl(Fd, F_OFD_GETLK, &L) != 0)
        return errno;
    return L.l_type == F_UNLCK ? 0 : EBUSY;
}

// Applies the share rules to a freshly opened descriptor. Answers 0 or the
// errno that refuses the open. A file system without these locks cannot
// keep share modes; the open then goes ahead unguarded.
int ApplyShareMode(int Fd, bool CanRead, bool CanWrite, bool DenyRead, bool DenyWrite, bool Readable)
{
    struct TStep {
        bool Wanted;
        TShareRegion Region;
    };
    const TStep Holds[] = { { CanRead, srRead }, { CanWrite, srWrite }, { DenyRead, srDenyRead },
        { DenyWrite, srDenyWrite } };
    const TStep Tests[] = { { CanRead, srDenyRead }, { CanWrite, srDenyWrite }, { DenyRead, srRead },
        { DenyWrite, srWrite } };
    for (const TStep& S : Holds) {
        if (!S.Wanted)
            continue;
        int Error = HoldRegion(Fd, Readable, S.Region);
        if (Error != 0)
            return LockingUnsupported(Error) ? 0 : Error;
    }
    for (const TStep& S : Tests) {
        if (!S.Wanted)
            continue;
        int Error = TestRegion(Fd, S.Region);
        if (Error != 0)
            return LockingUnsupported(Error) ? 0 : Error;
    }
    return 0;
}

void CloseKeepingErrno(int Fd)
{
    int Saved = errno;
    close(Fd);
    errno = Saved;
}

}

// --- THandleStream -----------------------------------------------------------

void THandleStream::Create(int AHandle)
{
    FHandle = AHandle;
}

Int64 THandleStream::Read(void* Buffer, Int64 Count)
{
    auto* P = static_cast<Byte*>(Buffer);
    Int64 Done = 0;
    while (Done < Count) {
        ssize_t N = ::read(FHandle, P + Done, size_t(std::min(Count - Done, MaxTransfer)));
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            return Done > 0 ? Done : -1;
        if (N == 0)
            break;
        Done += N;
    }
    return Done;
}

Int64 THandleStream::Write(const void* Buffer, Int64 Count)
{
    const auto* P = static_cast<const Byte*>(Buffer);
    Int64 Done = 0;
    while (Done < Count) {
        ssize_t N = ::write(FHandle, P + Done, size_t(std::min(Count - Done, MaxTransfer)));
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0)
            return Done > 0 ? Done : -1;
        if (N == 0)
            break;
        Done += N;
    }
    return Done;
}

Int64 THandleStream::Seek(Int64 Offset, TSeekOrigin Origin)
{
    int Whence;
    switch (Origin) {
    case soBeginning: Whence = SEEK_SET; break;
    case soCurrent: Whence = SEEK_CUR; break;
    case soEnd: Whence = SEEK_END; break;
    default: return -1;
    }
    return Int64(::lseek(FHandle, off_t(Offset), Whence));
}

void THandleStream::SetSize(Int64 NewSize)
{
    if (NewSize < 0)
        throw EArgumentOutOfRangeException(RtlText::ArgumentOutOfRange);
    if (::ftruncate(FHandle, off_t(NewSize)) != 0) {
        int Error = errno;
        throw EOSError(u"System Error. Code: " + S(std::to_string(Error)) + u". " + S(std::strerror(Error)));
    }
    Seek(NewSize, soBeginning);
}

// --- TFileStream -------------------------------------------------------------

void TFileStream::Create(const String& AFileName, Word Mode, Cardinal Rights)
{
    FFileName = AFileName;
    const bool CreatingNew = (Mode & 0xFF00) == fmCreateNew;
    const bool Creating = (Mode & fmCreate) == fmCreate || CreatingNew;
    const int Share = (Mode & 0x00F0) >> 4;
    const int Access = Mode & 0x000F;
    if (Share > 4 || (!Creating && (Mode & 0xFF00) != 0) || (!Creating && Access > 2))
        RaiseOpenError(Creating, AFileName, EINVAL);
    // Compatibility mode keeps others out, as exclusive does.
    const bool DenyRead = Share <= 1 || Share == 3;
    const bool DenyWrite = Share <= 2;
    const bool CanRead = Creating || Access != 1;
    const bool CanWrite = Creating || Access != 0;

    UTF8String Name = StringToUTF8(AFileName);
    if (Name.empty() || Name.find('\0') != UTF8String::npos)
        RaiseOpenError(Creating, AFileName, Name.empty() ? ENOENT : EINVAL);

    // Non-blocking only while opening, so that a FIFO without a writer
    // does not hang the open.
    int Flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (CanRead && CanWrite ? O_RDWR : CanWrite ? O_WRONLY : O_RDONLY);
    int Fd = -1;
    bool Created = false;
    if (CreatingNew) {
        Fd = ::open(Name.c_str(), Flags | O_CREAT | O_EXCL | O_NOFOLLOW, mode_t(Rights & 07777));
        Created = Fd >= 0;
    } else if (Creating) {
        // The file is never truncated before the share check has passed,
        // so a refused fmCreate leaves an existing file as it was.
        for (int Try = 0; Try < 8 && Fd < 0; ++Try) {
            Fd = ::open(Name.c_str(), Flags | O_CREAT | O_EXCL, mode_t(Rights & 07777));
            if (Fd >= 0) {
                Created = true;
                break;
            }
            if (errno != EEXIST)
                break;
            Fd = ::open(Name.c_str(), Flags);
            if (Fd < 0 && errno != ENOENT)
                break;
        }
    } else {
        Fd = ::open(Name.c_str(), Flags);
    }
    if (Fd < 0)
        RaiseOpenError(Creating, AFileName, errno);

    struct stat St { };
    int Error = 0;
    if (::fstat(Fd, &St) != 0)
        Error = errno;
    else if (S_ISDIR(St.st_mode))
        Error = EISDIR;
    if (Error == 0)
        Error = ApplyShareMode(Fd, CanRead, CanWrite, DenyRead, DenyWrite, CanRead);
    if (Error == 0 && Creating && !Created && S_ISREG(St.st_mode) && ::ftruncate(Fd, 0) != 0)
        Error = errno;
    if (Error == 0 && ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK) != 0)
        Error = errno;
    if (Error != 0) {
        // A file we made that another open took in the meantime stays: it
        // is that open's now. Otherwise nothing of ours is left behind.
        if (Created && Error != EBUSY) {
            struct stat Now { };
            if (::stat(Name.c_str(), &Now) == 0 && Now.st_dev == St.st_dev && Now.st_ino == St.st_ino)
                ::unlink(Name.c_str());
        }
        CloseKeepingErrno(Fd);
        RaiseOpenError(Creating, AFileName, Error);
    }
    inherited::Create(Fd);
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}
