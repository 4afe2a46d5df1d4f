#include "rtl/SafeSave.h"
#include "rtl/Exceptions.h"
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

X_REGISTER_CLASS(TReplacementFileStream)

namespace {
[[noreturn]] void CreateFailed(const String& FileName, int Code)
{
    EFCreateError E(u"Cannot create file \"" + FileName + u"\". " + UTF8ToString(std::strerror(Code)));
    E.ErrorCode = Code;
    throw E;
}

// The process number of Name when it is a temporary file of Base
// ("<Base>.~<pid>-<n>"), else 0.
pid_t TemporaryOwner(std::string_view Name, std::string_view Base)
{
    if (Name.size() <= Base.size() + 2 || Name.substr(0, Base.size()) != Base ||
        Name.substr(Base.size(), 2) != ".~")
        return 0;
    Name.remove_prefix(Base.size() + 2);
    const size_t Dash = Name.find('-');
    if (Dash == 0 || Dash == std::string_view::npos || Dash > 9 || Dash + 1 == Name.size())
        return 0;
    auto Digits = [](std::string_view S) {
        return std::all_of(S.begin(), S.end(), [](char C) { return C >= '0' && C <= '9'; });
    };
    if (!Digits(Name.substr(0, Dash)) || !Digits(Name.substr(Dash + 1)))
        return 0;
    return pid_t(std::stol(std::string(Name.substr(0, Dash))));
}

// A save cut short by the end of its process (a signal, a crash) leaves
// its temporary file behind: the next save of the same file removes those
// of processes that no longer exist. Only plain files of that exact name
// form go; a process that still runs may be saving right now.
void RemoveStaleTemporaries(const std::string& Target)
{
    const size_t Slash = Target.rfind('/');
    const std::string Folder = Slash == std::string::npos ? "." : Target.substr(0, Slash + 1);
    const std::string Base = Slash == std::string::npos ? Target : Target.substr(Slash + 1);
    DIR* Dir = ::opendir(Folder.c_str());
    if (!Dir)
        return;
    while (const dirent* Entry = ::readdir(Dir)) {
        const pid_t Owner = TemporaryOwner(Entry->d_name, Base);
        if (Owner <= 0 || Owner == ::getpid() || ::kill(Owner, 0) == 0 || errno != ESRCH)
            continue;
        struct stat St { };
        if (::fstatat(::dirfd(Dir), Entry->d_name, &St, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(St.st_mode))
            ::unlinkat(::dirfd(Dir), Entry->d_name, 0);
    }
    ::closedir(Dir);
}

int WriteAll(int Fd, std::string_view Data)
{
    while (!Data.empty()) {
        ssize_t N = ::write(Fd, Data.data(), Data.size());
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        Data.remove_prefix(size_t(N));
    }
    return 0;
}
}

void TReplacementFileStream::Create(const String& AFileName)
{
    Create(AFileName, false);
}

void TReplacementFileStream::Create(const String& AFileName, bool NewFile)
{
    FFileName = AFileName;
    FTarget = StringToUTF8(AFileName);
    if (FTarget.empty() || FTarget.find('\0') != std::string::npos)
        CreateFailed(AFileName, ENOENT);
    // A link keeps pointing where it did: the file it names is replaced.
    struct stat Link { };
    if (!NewFile && ::lstat(FTarget.c_str(), &Link) == 0 && S_ISLNK(Link.st_mode)) {
        if (char* Real = ::realpath(FTarget.c_str(), nullptr)) {
            FTarget = Real;
            std::free(Real);
        }
    }
    RemoveStaleTemporaries(FTarget);
    int Fd = -1;
    for (int Attempt = 0; Fd < 0; ++Attempt) {
        FTemp = FTarget + ".~" + std::to_string(::getpid()) + "-" + std::to_string(Attempt);
        Fd = ::open(FTemp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (Fd < 0 && (errno != EEXIST || Attempt >= 100)) {
            int Code = errno;
            FTemp.clear();
            CreateFailed(AFileName, Code);
        }
    }
    // The new file gets the old one's permissions, never wider ones.
    struct stat Old { };
    if (!NewFile && ::stat(FTarget.c_str(), &Old) == 0 && S_ISREG(Old.st_mode))
        ::fchmod(Fd, Old.st_mode & 07777);
    inherited::Create(Fd);
}

TReplacementFileStream::~TReplacementFileStream()
{
    Discard();
}

void TReplacementFileStream::Discard()
{
    if (FHandle >= 0) {
        ::close(FHandle);
        FHandle = -1;
    }
    if (!FCommitted && !FTemp.empty())
        ::unlink(FTemp.c_str());
    FTemp.clear();
}

void TReplacementFileStream::Finish()
{
    if (FTemp.empty())
        CreateFailed(FFileName, EBADF);
    if (FHandle < 0)
        return; // finished by a CommitNew that found its name taken
    int Code = 0;
    if (::fsync(FHandle) != 0)
        Code = errno;
    if (::close(FHandle) != 0 && !Code)
        Code = errno;
    FHandle = -1;
    if (Code) {
        Discard();
        CreateFailed(FFileName, Code);
    }
}

void TReplacementFileStream::Commit()
{
    if (FCommitted)
        return;
    Finish();
    if (::rename(FTemp.c_str(), FTarget.c_str()) != 0) {
        const int Code = errno;
        Discard();
        CreateFailed(FFileName, Code);
    }
    FCommitted = true;
    FTemp.clear();
}

bool TReplacementFileStream::CommitNew(const String& Name)
{
    if (FCommitted)
        return false;
    Finish();
    const UTF8String Target = StringToUTF8(Name);
    if (Target.empty() || Target.find('\0') != std::string::npos) {
        Discard();
        CreateFailed(Name, ENOENT);
    }
    int Code = 0;
    if (::renameat2(AT_FDCWD, FTemp.c_str(), AT_FDCWD, Target.c_str(), RENAME_NOREPLACE) != 0) {
        Code = errno;
        // A file system without the flag: a new link fails as well when the
        // name is taken.
        if (Code == EINVAL || Code == ENOSYS || Code == EOPNOTSUPP) {
            Code = ::link(FTemp.c_str(), Target.c_str()) == 0 ? 0 : errno;
            if (Code == 0)
                ::unlink(FTemp.c_str());
        }
    }
    if (Code == EEXIST)
        return false;
    if (Code) {
        Discard();
        CreateFailed(Name, Code);
    }
    FCommitted = true;
    FTemp.clear();
    return true;
}

void SaveBytesToFileSafely(const String& FileName, std::string_view Data)
{
    TOwnedPtr<TReplacementFileStream> File(New<TReplacementFileStream>(FileName));
    if (int Code = WriteAll(File->Handle(), Data))
        CreateFailed(FileName, Code);
    File->Commit();
}
