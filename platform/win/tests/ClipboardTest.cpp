#include "rtl/testing/Testing.h"
#include "win/Clipboard.h"
#include "win/Presenter.h"
#include "win/X11Presenter.h"
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
// Xlib's macros (None, Bool, Status) come last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;

void Put(const TClipboardItems& Items)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    for (const auto& [Format, Data] : Items)
        EXPECT_TRUE(SetClipboardData(Format, Data));
    EXPECT_TRUE(CloseClipboard());
}

UINT RtfFormat()
{
    return RegisterClipboardFormat(u"Rich Text Format");
}

} // namespace

TEST(Clipboard, TheProcessClipboardWithoutAScreen)
{
    THeadlessPresenter Screen;
    EXPECT_FALSE(SetClipboardData(CF_UNICODETEXT, "closed")); // not open
    EXPECT_FALSE(EmptyClipboard());
    Put({ { CF_UNICODETEXT, "Grüße" }, { RtfFormat(), "{\\rtf1 x}" }, { CF_BITMAP, "\x89PNG" } });
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), "Grüße");
    EXPECT_EQ(GetClipboardData(CF_TEXT), "Grüße"); // the same text
    EXPECT_EQ(GetClipboardData(CF_DIB), "\x89PNG");
    EXPECT_EQ(GetClipboardData(RtfFormat()), "{\\rtf1 x}");
    EXPECT_EQ(GetClipboardData(CF_HDROP), std::nullopt);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));

    // One opener at a time; emptying drops everything, setting twice keeps the last.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_FALSE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    EXPECT_TRUE(SetClipboardData(CF_UNICODETEXT, "first"));
    EXPECT_TRUE(SetClipboardData(CF_UNICODETEXT, "second"));
    EXPECT_FALSE(SetClipboardData(0, "no format"));
    EXPECT_TRUE(CloseClipboard());
    EXPECT_FALSE(CloseClipboard());
    EXPECT_EQ(ClipboardFormats(), std::vector<UINT> { CF_UNICODETEXT });
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), "second");
}

TEST(Clipboard, RegisteredFormatsAreOneNumberPerName)
{
    const UINT Rtf = RtfFormat();
    EXPECT_GE(Rtf, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormat(u"rich text FORMAT"), Rtf);
    EXPECT_NE(RegisterClipboardFormat(u"Rich Text Format Without Objects"), Rtf);
    EXPECT_EQ(GetClipboardFormatName(Rtf), u"Rich Text Format");
    EXPECT_EQ(RegisterClipboardFormat(u""), 0u);
    EXPECT_EQ(GetClipboardFormatName(0xFFFF), u"");
    EXPECT_EQ(GetClipboardFormatName(CF_TEXT), u"");
}

namespace {

// Another X client that owns CLIPBOARD and answers as told: never, or
// with INCR pieces of 64 KiB (Pieces of them, then the empty end; endless
// when negative).
class TForeignOwner {
public:
    TForeignOwner(const std::string& DisplayName, bool Answer, int Pieces)
        : FAnswer(Answer), FPieces(Pieces)
    {
        Dpy = XOpenDisplay(DisplayName.c_str());
        Win = XCreateSimpleWindow(Dpy, DefaultRootWindow(Dpy), 0, 0, 1, 1, 0, 0, 0);
        Clipboard = XInternAtom(Dpy, "CLIPBOARD", False);
        XSetSelectionOwner(Dpy, Clipboard, Win, CurrentTime);
        XSync(Dpy, False);
        if (FAnswer)
            FThread = std::thread([this] { Serve(); });
    }
    ~TForeignOwner()
    {
        FStop = true;
        if (FThread.joinable())
            FThread.join();
        XCloseDisplay(Dpy);
    }
    int PiecesSent() const { return FSent; }

private:
    void Serve()
    {
        const Atom Incr = XInternAtom(Dpy, "INCR", False);
        const std::string Piece(64 * 1024, 'x');
        Window Requestor = 0;
        Atom Property = 0;
        while (!FStop) {
            while (XPending(Dpy) > 0) {
                XEvent E;
                XNextEvent(Dpy, &E);
                if (E.type == SelectionRequest) {
                    const XSelectionRequestEvent& R = E.xselectionrequest;
                    Requestor = R.requestor;
                    Property = R.property;
                    XSelectInput(Dpy, Requestor, PropertyChangeMask);
                    const long Size = 1 << 20;
                    XChangeProperty(Dpy, Requestor, Property, Incr, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&Size), 1);
                    XEvent Out {};
                    Out.xselection.type = SelectionNotify;
                    Out.xselection.requestor = R.requestor;
                    Out.xselection.selection = R.selection;
                    Out.xselection.target = R.target;
                    Out.xselection.property = R.property;
                    Out.xselection.time = R.time;
                    XSendEvent(Dpy, Requestor, False, NoEventMask, &Out);
                } else if (E.type == PropertyNotify && E.xproperty.window == Requestor &&
                    E.xproperty.atom == Property && E.xproperty.state == PropertyDelete) {
                    // The reader took the last piece: the next one, or the end.
                    const bool End = FPieces >= 0 && FSent >= FPieces;
                    XChangeProperty(Dpy, Requestor, Property, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(Piece.data()), End ? 0 : int(Piece.size()));
                    if (!End)
                        ++FSent;
                }
                XFlush(Dpy);
            }
            pollfd P { ConnectionNumber(Dpy), POLLIN, 0 };
            poll(&P, 1, 20);
        }
    }

    Display* Dpy = nullptr;
    Window Win = 0;
    Atom Clipboard = 0;
    bool FAnswer;
    int FPieces;
    std::atomic<int> FSent { 0 };
    std::atomic<bool> FStop { false };
    std::thread FThread;
};

class X11Clipboard : public testing::Test {
protected:
    static void SetUpTestSuite() { Server = new Testing::TXvfb(640, 480); }
    static void TearDownTestSuite()
    {
        delete Server;
        Server = nullptr;
    }
    void SetUp() override
    {
        if (!Server->Started() || !Testing::HaveTool("xclip"))
            GTEST_SKIP() << "Xvfb or xclip is missing";
        Env = std::make_unique<Testing::TScopedEnv>("DISPLAY", Server->Display());
        X = std::make_unique<TX11Presenter>(Server->Display());
        ASSERT_TRUE(X->Ok());
        Previous = SetPresenter(X.get());
    }
    void TearDown() override
    {
        if (X)
            SetPresenter(Previous);
    }
    // Runs a tool while this side answers the display (the tool reads our
    // clipboard).
    std::string RunServed(const std::vector<std::string>& Argv)
    {
        std::atomic<bool> Done { false };
        Testing::TToolResult R;
        std::thread T([&] {
            R = Testing::RunTool(Argv);
            Done = true;
        });
        while (!Done) {
            X->Dispatch();
            pollfd P { X->FileDescriptor(), POLLIN, 0 };
            poll(&P, 1, 20);
        }
        T.join();
        EXPECT_EQ(R.ExitCode, 0) << Argv.back();
        return R.Output;
    }

    static inline Testing::TXvfb* Server = nullptr;
    std::unique_ptr<Testing::TScopedEnv> Env;
    std::unique_ptr<TX11Presenter> X;
    TPresenter* Previous = nullptr;
};

} // namespace

TEST_F(X11Clipboard, OurCopyReadsBackAsRtfAndText)
{
    const std::string Rtf = "{\\rtf1\\ansi {\\b bold} text}";
    Put({ { CF_UNICODETEXT, "bold text Ωμέγα" }, { RtfFormat(), Rtf } });
    EXPECT_FALSE(X->ClipboardIsForeign());
    EXPECT_EQ(RunServed({ "xclip", "-selection", "clipboard", "-o", "-t", "text/rtf" }), Rtf);
    EXPECT_EQ(RunServed({ "xclip", "-selection", "clipboard", "-o" }), "bold text Ωμέγα");
    const std::string Targets = RunServed({ "xclip", "-selection", "clipboard", "-o", "-t", "TARGETS" });
    for (const char* T : { "TARGETS", "UTF8_STRING", "text/rtf" })
        EXPECT_NE(Targets.find(T), std::string::npos) << Targets;
    // Our own read stays in the process.
    EXPECT_EQ(GetClipboardData(RtfFormat()), Rtf);
}

TEST_F(X11Clipboard, RtfAnotherProgramPutsThereIsRead)
{
    Testing::TTempFolder Folder;
    const std::string Rtf = "{\\rtf1\\ansi\\deff0 {\\fonttbl{\\f0 Liberation Serif;}}{\\b Bold} plain\\par}";
    Testing::WriteFileBytes(Folder / "in.rtf", Testing::Bytes(Rtf.begin(), Rtf.end()));
    Testing::TChildProcess Xclip(
        { Testing::FindTool("xclip"), "-quiet", "-selection", "clipboard", "-t", "text/rtf", (Folder / "in.rtf").string() });
    ASSERT_TRUE(Xclip.Started());
    // xclip owns the clipboard once it has read its file.
    Display* Probe = XOpenDisplay(Server->Display().c_str());
    const Atom Clipboard = XInternAtom(Probe, "CLIPBOARD", False);
    const auto Until = std::chrono::steady_clock::now() + 10s;
    while (XGetSelectionOwner(Probe, Clipboard) == None && std::chrono::steady_clock::now() < Until) {
        pollfd P { ConnectionNumber(Probe), POLLIN, 0 };
        poll(&P, 1, 20);
    }
    XCloseDisplay(Probe);
    ASSERT_TRUE(X->ClipboardIsForeign());
    EXPECT_TRUE(IsClipboardFormatAvailable(RtfFormat()));
    EXPECT_EQ(GetClipboardData(RtfFormat()), Rtf);
    // Copying takes the clipboard back.
    Put({ { CF_UNICODETEXT, "ours" } });
    EXPECT_EQ(Xclip.Wait(), 0);
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), "ours");
}

TEST_F(X11Clipboard, OwnersThatNeverAnswerOrNeverEndGiveNothing)
{
    X->SetClipboardLimits(1 << 20, 500ms);
    struct TCase {
        const char* Name;
        bool Answer;
        int Pieces;
        std::optional<std::string> Expected;
    };
    const TCase Cases[] = {
        { "silent", false, 0, std::nullopt },
        { "endless INCR", true, -1, std::nullopt },
        { "three INCR pieces", true, 3, std::string(3 * 64 * 1024, 'x') },
    };
    for (const TCase& C : Cases) {
        TForeignOwner Owner(Server->Display(), C.Answer, C.Pieces);
        ASSERT_TRUE(X->ClipboardIsForeign()) << C.Name;
        const auto Start = std::chrono::steady_clock::now();
        const std::optional<std::string> Got = GetClipboardData(CF_UNICODETEXT);
        EXPECT_LT(std::chrono::steady_clock::now() - Start, 5s) << C.Name;
        EXPECT_EQ(Got.has_value(), C.Expected.has_value()) << C.Name;
        if (Got && C.Expected)
            EXPECT_EQ(*Got, *C.Expected) << C.Name;
        if (C.Pieces < 0)
            EXPECT_LE(Owner.PiecesSent(), 17) << "read past its bound";
    }
}
