// Main of every test program: units are initialised before the first test
// and finalised after the last, as in a real program. The program gets a
// home of its own, so nothing a test starts up (the user's folders, the
// registry file) lands in the real one, and windows stay off any display.
// A test of what initialising units does runs alone in a process of its
// own where none was initialised (Testing::RunThisTestWithoutUnits).
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <optional>
#include <gtest/gtest.h>

// Leak checks in sanitizer builds: fontconfig keeps a few bytes of its
// cache list for the life of the process (the text library frees its font
// map and cairo's caches at the end, but fontconfig's own list stays).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// Thread sanitizer builds: pango matches fonts on threads of its own and
// hands fontconfig's results to the caller through glib's locks, which are
// not instrumented, so every read of those results looks like a race.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libfontconfig.so\n";
}

// No test reaches the network: the HTTP client asks this before it opens
// a socket, and only the loopback addresses pass.
extern "C" bool x_net_socket_allowed(const struct sockaddr* Address)
{
    if (Address->sa_family == AF_INET) {
        in_addr_t A = ntohl(reinterpret_cast<const sockaddr_in*>(Address)->sin_addr.s_addr);
        return (A >> 24) == 127;
    }
    if (Address->sa_family == AF_INET6)
        return std::memcmp(&reinterpret_cast<const sockaddr_in6*>(Address)->sin6_addr, &in6addr_loopback,
                   sizeof(in6_addr))
            == 0;
    return Address->sa_family == AF_UNIX;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Testing::TTempFolder Home("quorvale-home");
    Testing::TScopedEnv HomeVar("HOME", Home.Path().string());
    Testing::TScopedEnv Config("XDG_CONFIG_HOME", std::nullopt);
    Testing::TScopedEnv Data("XDG_DATA_HOME", std::nullopt);
    // Tests put windows on a display only when they start one themselves.
    std::optional<Testing::TScopedEnv> Presenter;
    if (!std::getenv(Testing::OnDisplayVariable))
        Presenter.emplace("X_PRESENTER", "headless");
    if (std::getenv(Testing::NoUnitsVariable))
        return RUN_ALL_TESTS();
    InitializeUnits();
    int Result = RUN_ALL_TESTS();
    FinalizeUnits();
    return Result;
}
