#include "rtl/SafeSave.h"
#include "rtl/Exceptions.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {
[[noreturn]] void CreateFailed(const String& FileName, int Code)
{
    EFCreateError E(u"Cannot create file \"" + FileName + u"\". " + UTF8ToString(std::strerror(Code)));
    E.ErrorCode = Code;
    throw E;
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

void SaveBytesToFileSafely(const String& FileName, std::string_view Data)
{
    UTF8String Path = StringToUTF8(FileName);
    if (Path.empty() || Path.find('\0') != std::string::npos)
        CreateFailed(FileName, ENOENT);

    UTF8String Temp;
    int Fd = -1;
    for (int Attempt = 0; Fd < 0; ++Attempt) {
        Temp = Path + ".~" + std::to_string(::getpid()) + "-" + std::to_string(Attempt);
        Fd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (Fd < 0 && (errno != EEXIST || Attempt >= 100))
            CreateFailed(FileName, errno);
    }
    int Code = WriteAll(Fd, Data);
    if (!Code && ::fsync(Fd) != 0)
        Code = errno;
    if (::close(Fd) != 0 && !Code)
        Code = errno;
    if (!Code && ::rename(Temp.c_str(), Path.c_str()) != 0)
        Code = errno;
    if (Code) {
        ::unlink(Temp.c_str());
        CreateFailed(FileName, Code);
    }
}
