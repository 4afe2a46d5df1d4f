// The second process of the single-instance tests.
//
//   instance-helper acquire NAME            exit 0 when the lock was taken, 1 when not
//   instance-helper hold NAME [PROGRAM]     takes the lock (exit 1 when not), starts
//                                           PROGRAM when given, prints "ready" and
//                                           holds until its input ends
//   instance-helper send NAME MESSAGE W L   one record; exit 0 when sent
//   instance-helper copy NAME KIND TEXT     one WM_COPYDATA record
//   instance-helper garbage NAME            records no holder may take
//   instance-helper send-as UID NAME MESSAGE W L   the same as another user (run as root)
#include "win/InstanceLock.h"
#include "win/ShellExecute.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

String Text(const char* S)
{
    return UTF8ToString(S);
}

int Hold(const char* Name, const char* Program)
{
    auto Lock = TInstanceLock::Acquire(Text(Name), nullptr);
    if (!Lock)
        return 1;
    if (Program && ShellExecute(nullptr, u"open", Text(Program), u"", u"", 1) <= 32)
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    char Buffer[64];
    while (::read(0, Buffer, sizeof Buffer) > 0) { }
    return 0;
}

// Raw bytes to the holder's socket, as a stranger might write them.
void SendRaw(const char* Name, const std::string& Bytes)
{
    const char* Runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string Path =
        std::string(Runtime ? Runtime : "") + "/quorvale/" + InstanceFileName(Text(Name)) + ".sock";
    const int Fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un Address {};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Path.c_str(), sizeof Address.sun_path - 1);
    if (::connect(Fd, reinterpret_cast<sockaddr*>(&Address), sizeof Address) == 0 && !Bytes.empty() &&
        ::write(Fd, Bytes.data(), Bytes.size()) < 0) { }
    ::close(Fd);
}

std::string Field(UInt64 V)
{
    return std::string(reinterpret_cast<const char*>(&V), sizeof V);
}

int Garbage(const char* Name)
{
    const std::string Head = std::string("QVI1") + Field(1) + Field(0) + Field(0);
    SendRaw(Name, ""); // nothing at all
    SendRaw(Name, "hello, instance"); // no magic
    SendRaw(Name, Head + Field(1u << 30) + "QVMActivateApplication"); // a name far too long
    SendRaw(Name, Head + Field(40) + "QVMActivate"); // cut short
    SendRaw(Name, std::string("QVI1") + Field(9) + Field(0) + Field(0) + Field(4) + "abcd"); // unknown kind
    SendRaw(Name, std::string("QVI1") + Field(2) + Field(0) + Field(0) + Field(0) + Field(1u << 20)); // too much data
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc < 3)
        return 64;
    const std::string Mode = argv[1];
    if (Mode == "acquire")
        return TInstanceLock::Acquire(Text(argv[2]), nullptr) ? 0 : 1;
    if (Mode == "hold")
        return Hold(argv[2], argc > 3 ? argv[3] : nullptr);
    if (Mode == "send-as" && argc == 7) {
        if (::setuid(uid_t(std::strtoul(argv[2], nullptr, 10))) != 0)
            return 3;
        ++argv;
        --argc;
    }
    if ((Mode == "send" || Mode == "send-as") && argc == 6)
        return SendInstanceRecord(Text(argv[2]),
                   { Text(argv[3]), WPARAM(std::strtoull(argv[4], nullptr, 10)),
                       LPARAM(std::strtoll(argv[5], nullptr, 10)), 0, {} })
            ? 0
            : 1;
    if (Mode == "copy" && argc == 5) {
        TInstanceRecord R;
        R.CopyDataKind = ULONG_PTR(std::strtoull(argv[3], nullptr, 10));
        R.CopyData.assign(argv[4], argv[4] + std::strlen(argv[4]));
        return SendInstanceRecord(Text(argv[2]), R) ? 0 : 1;
    }
    if (Mode == "garbage")
        return Garbage(argv[2]);
    return 64;
}
