#include "RichTestSupport.h"
#include "richedit/RichEditWindow.h"
#include "richedit/RichLayout.h"
#include "richedit/RtfReader.h"
#include "win/WinApi.h"

using namespace RichTesting;

namespace {

// A hidden parent that records the notifications of its rich-edit child.
class RichEditWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        const TRichEditLibrary* Lib = LoadRichEditLibrary(u"riched20.dll");
        ASSERT_TRUE(Lib);
        Parent = CreateHiddenWindow([this](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
            if (M == WM_NOTIFY) {
                const auto* H = reinterpret_cast<const NMHDR*>(LP);
                Codes.push_back(H->code);
                if (H->code == EN_PROTECTED)
                    return AllowProtected ? 0 : 1;
                return 0;
            }
            if (M == WM_COMMAND && HIWORD(WP) == EN_CHANGE)
                Codes.push_back(EN_CHANGE);
            return DefWindowProc(W, M, WP, LP);
        });
        Edit = CreateWindowEx(0, Lib->ClassName, u"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 100, Parent);
        ASSERT_TRUE(Edit);
    }
    void TearDown() override { DestroyWindow(Parent); }

    String Text()
    {
        Char Buffer[256] = {};
        SendMessage(Edit, WM_GETTEXT, 256, LPARAM(Buffer));
        return Buffer;
    }
    void Put(StringView S) { SendMessage(Edit, EM_REPLACESEL, 1, LPARAM(String(S).c_str())); }
    void Select(LONG A, LONG B)
    {
        CHARRANGE R { A, B };
        SendMessage(Edit, EM_EXSETSEL, 0, LPARAM(&R));
    }

    HWND Parent = nullptr, Edit = nullptr;
    std::vector<UINT> Codes;
    bool AllowProtected = false;
};

struct TBytesCookie {
    RawBytes Data;
    size_t At = 0;
    bool Fail = false;
};

DWORD ReadCookie(UINT_PTR Cookie, Byte* Buffer, LONG Size, LONG* Done)
{
    auto* C = reinterpret_cast<TBytesCookie*>(Cookie);
    if (C->Fail)
        return 5;
    // Three bytes at a time, so characters and line breaks are split between reads.
    const size_t N = std::min<size_t>({ size_t(Size), 3, C->Data.size() - C->At });
    std::copy_n(C->Data.data() + C->At, N, Buffer);
    C->At += N;
    *Done = LONG(N);
    return 0;
}

DWORD WriteCookie(UINT_PTR Cookie, Byte* Buffer, LONG Size, LONG* Done)
{
    auto* C = reinterpret_cast<TBytesCookie*>(Cookie);
    C->Data.append(reinterpret_cast<const char*>(Buffer), size_t(Size));
    *Done = Size;
    return 0;
}

}

TEST_F(RichEditWindow, LibrariesAreLookedUpByFileNameAndTheSeamEmptiesThem)
{
    EXPECT_EQ(String(LoadRichEditLibrary(u"MSFTEDIT.DLL")->ClassName), u"RICHEDIT50W");
    EXPECT_FALSE(LoadRichEditLibrary(u"other.dll"));
    SetRichEditLibrariesAvailable(false);
    EXPECT_FALSE(LoadRichEditLibrary(u"RICHED20.DLL"));
    SetRichEditLibrariesAvailable(true);
    EXPECT_TRUE(LoadRichEditLibrary(u"RICHED20.DLL"));
}

TEST_F(RichEditWindow, TextSelectionLinesAndNotifications)
{
    SendMessage(Edit, EM_SETEVENTMASK, 0, LPARAM(ENM_CHANGE | ENM_SELCHANGE));
    Put(u"one\r\ntwo\nthree");
    EXPECT_EQ(Text(), u"one\rtwo\rthree");
    EXPECT_EQ(Codes, (std::vector<UINT> { EN_CHANGE, EN_SELCHANGE }));
    EXPECT_EQ(SendMessage(Edit, EM_GETMODIFY, 0, 0), 1);
    EXPECT_EQ(SendMessage(Edit, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessage(Edit, EM_LINEINDEX, 2, 0), 8);
    EXPECT_EQ(SendMessage(Edit, EM_LINEINDEX, 3, 0), -1);
    EXPECT_EQ(SendMessage(Edit, EM_LINELENGTH, 5, 0), 3);
    EXPECT_EQ(SendMessage(Edit, EM_EXLINEFROMCHAR, 0, 9), 2);
    Char Line[16] = { 16 };
    EXPECT_EQ(SendMessage(Edit, EM_GETLINE, 1, LPARAM(Line)), 3);
    EXPECT_EQ(String(Line, 3), u"two");

    Select(4, 7);
    CHARRANGE R;
    SendMessage(Edit, EM_EXGETSEL, 0, LPARAM(&R));
    EXPECT_EQ(R.cpMin, 4);
    EXPECT_EQ(R.cpMax, 7);
    EXPECT_EQ(SendMessage(Edit, EM_SELECTIONTYPE, 0, 0), SEL_TEXT | SEL_MULTICHAR);
    Char Sel[8];
    GETTEXTEX G;
    G.cb = sizeof(Sel);
    G.flags = GT_SELECTION;
    EXPECT_EQ(SendMessage(Edit, EM_GETTEXTEX, WPARAM(&G), LPARAM(Sel)), 3);
    EXPECT_EQ(String(Sel), u"two");

    FINDTEXTEXW F;
    F.chrg = { 0, -1 };
    F.lpstrText = u"THREE";
    EXPECT_EQ(SendMessage(Edit, EM_FINDTEXTEX, FR_DOWN, LPARAM(&F)), 8);
    EXPECT_EQ(SendMessage(Edit, EM_FINDTEXTEX, FR_DOWN | FR_MATCHCASE, LPARAM(&F)), -1);

    // The limit holds typing and replacing alike.
    SendMessage(Edit, EM_EXLIMITTEXT, 0, 14);
    Select(13, 13);
    Put(u"XYZ");
    EXPECT_EQ(Text(), u"one\rtwo\rthreeX");
}

TEST_F(RichEditWindow, FormatsCrossAsRecords)
{
    Put(u"ab cd");
    Select(0, 2);
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_BOLD | CFM_SIZE | CFM_FACE;
    Cf.dwEffects = CFE_BOLD;
    Cf.yHeight = 280;
    std::copy_n(u"Courier New", 11, Cf.szFaceName);
    EXPECT_EQ(SendMessage(Edit, EM_SETCHARFORMAT, SCF_SELECTION, LPARAM(&Cf)), 1);
    Select(1, 4);
    CHARFORMAT2W Got;
    const DWORD Mask = DWORD(SendMessage(Edit, EM_GETCHARFORMAT, SCF_SELECTION, LPARAM(&Got)));
    EXPECT_FALSE(Mask & CFM_BOLD) << "mixed over the range";
    EXPECT_TRUE(Got.dwEffects & CFE_BOLD) << "the first character's";
    EXPECT_EQ(Got.yHeight, 280);

    // A record of the wrong size is refused.
    CHARFORMAT2W Small;
    Small.cbSize = 60;
    EXPECT_EQ(SendMessage(Edit, EM_GETCHARFORMAT, SCF_SELECTION, LPARAM(&Small)), 0);

    PARAFORMAT2 Pf;
    Pf.dwMask = PFM_ALIGNMENT | PFM_NUMBERING;
    Pf.wAlignment = PFA_CENTER;
    Pf.wNumbering = PFN_BULLET;
    SendMessage(Edit, EM_SETPARAFORMAT, 0, LPARAM(&Pf));
    PARAFORMAT2 P2;
    SendMessage(Edit, EM_GETPARAFORMAT, 0, LPARAM(&P2));
    EXPECT_EQ(P2.wAlignment, PFA_CENTER);
    EXPECT_EQ(P2.wNumbering, PFN_BULLET);
}

TEST_F(RichEditWindow, StreamsInAndOutInPieces)
{
    struct TCase {
        const char* Name;
        WPARAM Format;
        RawBytes Data;
        String Text;
    };
    const TCase Cases[] = {
        { "rtf", SF_RTF, R"({\rtf1\ansi {\b bold}\par x})", u"bold\rx" },
        { "utf-16 with CR LF split", SF_TEXT | SF_UNICODE, RawBytes("a\0\r\0\n\0b\0", 8), u"a\rb" },
        { "utf-8 split sequence", SF_TEXT | SF_USECODEPAGE | (WPARAM(65001) << 16), "\xEF\xBB\xBFx\xD0\x96y", u"x\u0416y" },
        { "ansi", SF_TEXT, "caf\xE9", u"caf\u00E9" },
    };
    for (const TCase& C : Cases) {
        TBytesCookie Cookie { C.Data };
        EDITSTREAM S;
        S.dwCookie = UINT_PTR(&Cookie);
        S.pfnCallback = &ReadCookie;
        SendMessage(Edit, EM_STREAMIN, C.Format, LPARAM(&S));
        EXPECT_EQ(S.dwError, 0u) << C.Name;
        EXPECT_EQ(Text(), C.Text) << C.Name;
    }

    // Not rich text: an error, and the text stays.
    TBytesCookie Plain { "Hello" };
    EDITSTREAM S;
    S.dwCookie = UINT_PTR(&Plain);
    S.pfnCallback = &ReadCookie;
    SendMessage(Edit, EM_STREAMIN, SF_RTF, LPARAM(&S));
    EXPECT_NE(S.dwError, 0u);
    EXPECT_EQ(Text(), u"caf\u00E9");
    // A failing reader is an error too.
    TBytesCookie Failing { "x", 0, true };
    S.dwCookie = UINT_PTR(&Failing);
    SendMessage(Edit, EM_STREAMIN, SF_TEXT, LPARAM(&S));
    EXPECT_EQ(S.dwError, 5u);

    Select(4, 4);
    Put(u"\r\n2");
    TBytesCookie Out;
    EDITSTREAM W;
    W.dwCookie = UINT_PTR(&Out);
    W.pfnCallback = &WriteCookie;
    SendMessage(Edit, EM_STREAMOUT, SF_TEXT, LPARAM(&W));
    EXPECT_EQ(Out.Data, "caf\xE9\r\n2");
    Out.Data.clear();
    SendMessage(Edit, EM_STREAMOUT, SF_RTF, LPARAM(&W));
    TRichDocument Back;
    EXPECT_EQ(ReadRtf(Out.Data, Back), rrOk);
    EXPECT_EQ(Back.Text(), u"caf\u00E9\r2");
}

TEST_F(RichEditWindow, ProtectedTextAsksTheParentAndUndoKeepsItsLimit)
{
    SendMessage(Edit, EM_SETEVENTMASK, 0, LPARAM(ENM_PROTECTED));
    Put(u"keep this");
    Select(0, 4);
    CHARFORMAT2W Cf;
    Cf.dwMask = CFM_PROTECTED;
    Cf.dwEffects = CFE_PROTECTED;
    SendMessage(Edit, EM_SETCHARFORMAT, SCF_SELECTION, LPARAM(&Cf));
    Select(1, 3);
    Put(u"X");
    EXPECT_EQ(Text(), u"keep this");
    EXPECT_EQ(Codes, (std::vector<UINT> { EN_PROTECTED }));
    AllowProtected = true;
    Put(u"X");
    EXPECT_EQ(Text(), u"kXp this");

    EXPECT_EQ(SendMessage(Edit, EM_SETUNDOLIMIT, 2, 0), 2);
    for (const Char* S : { u"1", u"2", u"3" })
        Put(S);
    EXPECT_EQ(SendMessage(Edit, WM_UNDO, 0, 0), 1);
    EXPECT_EQ(SendMessage(Edit, WM_UNDO, 0, 0), 1);
    EXPECT_EQ(SendMessage(Edit, EM_CANUNDO, 0, 0), 0);
    EXPECT_EQ(Text(), u"kX1p this");
}

TEST_F(RichEditWindow, FormatRangeAnswersTheNextCharacterAndTheBottom)
{
    String Long;
    for (int I = 0; I < 40; ++I)
        Long += u"line\r";
    Put(Long);
    FORMATRANGE F;
    F.rc = { 0, 0, 4 * 1440, 1440 };
    F.rcPage = F.rc;
    F.chrg = { 0, -1 };
    const LRESULT Next = SendMessage(Edit, EM_FORMATRANGE, 0, LPARAM(&F));
    EXPECT_GT(Next, 0);
    EXPECT_LT(Next, LRESULT(Long.size()));
    EXPECT_GT(F.rc.bottom, 0);
    EXPECT_LE(F.rc.bottom, 1440);
    EXPECT_EQ(SendMessage(Edit, EM_FORMATRANGE, 0, 0), 0);
}

TEST_F(RichEditWindow, AHandlerThatDestroysTheWindowEndsTheMessage)
{
    HWND Victim = Edit;
    HWND Owner = CreateHiddenWindow([&Victim](HWND W, UINT M, WPARAM WP, LPARAM LP) -> LRESULT {
        if (M == WM_COMMAND && HIWORD(WP) == EN_CHANGE)
            DestroyWindow(Victim);
        return DefWindowProc(W, M, WP, LP);
    });
    Victim = CreateWindowEx(0, u"RichEdit20W", u"", WS_CHILD, 0, 0, 100, 50, Owner);
    SendMessage(Victim, EM_SETEVENTMASK, 0, LPARAM(ENM_CHANGE | ENM_SELCHANGE | ENM_REQUESTRESIZE));
    SendMessage(Victim, EM_REPLACESEL, 0, LPARAM(u"gone"));
    EXPECT_FALSE(IsWindow(Victim));
    EXPECT_FALSE(RichEditWindowOf(Victim));
    DestroyWindow(Owner);
}
