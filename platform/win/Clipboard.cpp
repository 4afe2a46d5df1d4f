#include "win/Clipboard.h"
#include "rtl/StrUtils.h"
#include "win/Presenter.h"
#include <algorithm>
#include <mutex>

namespace {

constexpr UINT FirstRegistered = 0xC000;
// Names are few in any program; a bound keeps a loop of new names small.
constexpr size_t MaxRegistered = 0x3FFF;

struct TClipboardState {
    std::recursive_mutex Lock;
    std::vector<String> Names; // index + FirstRegistered
    bool Open = false;
    bool Changed = false;
    TClipboardItems Items; // what this process put there last
};

TClipboardState& State()
{
    static TClipboardState S;
    return S;
}

// CF_TEXT is the same text as CF_UNICODETEXT, and CF_DIB the same picture
// as CF_BITMAP.
UINT Canonical(UINT Format)
{
    return Format == CF_TEXT ? CF_UNICODETEXT : Format == CF_DIB ? CF_BITMAP : Format;
}

} // namespace

bool OpenClipboard(HWND Wnd)
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    if (S.Open)
        return false;
    S.Open = true;
    S.Changed = false;
    return true;
}

bool CloseClipboard()
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    if (!S.Open)
        return false;
    S.Open = false;
    if (S.Changed)
        Presenter().OfferClipboard(S.Items);
    S.Changed = false;
    return true;
}

bool EmptyClipboard()
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    if (!S.Open)
        return false;
    S.Items.clear();
    S.Changed = true;
    return true;
}

bool SetClipboardData(UINT Format, std::string Data)
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    Format = Canonical(Format);
    if (!S.Open || Format == 0)
        return false;
    auto It = std::find_if(S.Items.begin(), S.Items.end(), [&](const auto& I) { return I.first == Format; });
    if (It != S.Items.end())
        It->second = std::move(Data);
    else
        S.Items.emplace_back(Format, std::move(Data));
    S.Changed = true;
    return true;
}

std::optional<std::string> GetClipboardData(UINT Format)
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    Format = Canonical(Format);
    // Another program's clipboard is read where it is; the process's own
    // from its store.
    if (Presenter().ClipboardIsForeign())
        return Presenter().ReadClipboard(Format);
    for (const auto& [F, Data] : S.Items)
        if (F == Format)
            return Data;
    return std::nullopt;
}

std::vector<UINT> ClipboardFormats()
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    if (Presenter().ClipboardIsForeign())
        return Presenter().ClipboardFormats();
    std::vector<UINT> Out;
    for (const auto& Item : S.Items)
        Out.push_back(Item.first);
    return Out;
}

bool IsClipboardFormatAvailable(UINT Format)
{
    const std::vector<UINT> Formats = ClipboardFormats();
    return std::find(Formats.begin(), Formats.end(), Canonical(Format)) != Formats.end();
}

UINT RegisterClipboardFormat(const String& Name)
{
    if (Name.empty())
        return 0;
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    for (size_t I = 0; I < S.Names.size(); ++I)
        if (AnsiCompareText(S.Names[I], Name) == 0)
            return UINT(FirstRegistered + I);
    if (S.Names.size() >= MaxRegistered)
        return 0;
    S.Names.push_back(Name);
    return UINT(FirstRegistered + S.Names.size() - 1);
}

String GetClipboardFormatName(UINT Format)
{
    TClipboardState& S = State();
    std::lock_guard<std::recursive_mutex> Guard(S.Lock);
    if (Format < FirstRegistered || Format - FirstRegistered >= S.Names.size())
        return {};
    return S.Names[Format - FirstRegistered];
}
