#include "core/XSpark.Lg.English.h"
#include "core/XCore.Filers.h"
#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.Filers.h"
#include "core/XSpark.Lg.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"

namespace {

// Word 1 is the table's language id, in decimal.
constexpr TXEnglishWord Words[] = {
    { 1, "9" },
    // Card image copy: its log lines and the read-error dialog.
    { 2181097166u, "Copying the card to %s" },
    { 2181039062u, "Skipped clusters" },
    { 2181040145u, "Unreadable cluster" },
    { 2181059441u, "Unreadable clusters" },
    { 2248176157u, "The card image is complete." },
    { 2181078020u, "Last cluster copied" },
    { 2248172134u, "The copy was cancelled." },
    { 2164265694u, "Error" },
    { 2248207101u, "The card is no longer there." },
    // Command buttons.
    { 0x81004792u, "OK" },
    { 0x8100CAD2u, "Close" },
    { 0x8100BEF5u, "Cancel" },
    { 0x81002000u, "Next" },
    { 0x8200D24Du, "Check now" },
    { 0x810023E3u, "No, thanks" },
    { 0x8100589Cu, "Delete" },
    { 0x8100BA12u, "Download" },
    { 0x81003288u, "Run" },
    { 0x81000F42u, "Open folder" },
    { 0x810016B8u, "Open" },
    { 0x81000980u, "Save" },
    { 0x8200B1F5u, "Do not show this message again" },
    { 0x8600E993u, "The dialog could not be shown." },
};

}

std::span<const TXEnglishWord> EnglishWords()
{
    return Words;
}

UTF8String MakeWordTableText(const std::vector<std::pair<Cardinal, String>>& Table)
{
    UTF8String Text;
    for (const auto& [Id, Word] : Table) {
        const TCodePageString Digits = xStr::EncodeDigits(ToCodePage(Word, CP_UTF8), 36);
        Text += StringToUTF8(IntToHex(UInt64(Id), 8)) + "=" + std::string(Digits.Bytes.begin(), Digits.Bytes.end()) +
            "\r\n";
    }
    return Text;
}

TMemoryStream* NewEnglishLanguageStream(Cardinal AppID, Cardinal AppVer)
{
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetName(u"English");
    Project->SetLgID(9);
    Project->SetAppID(AppID);
    Project->SetAppVer(AppVer);
    std::vector<std::pair<Cardinal, String>> Table;
    for (const TXEnglishWord& W : Words)
        Table.emplace_back(W.Id, UTF8ToString(W.Text));
    const UTF8String Text = MakeWordTableText(Table);
    Project->Words()->WriteBuffer(Text.data(), Int64(Text.size()));
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    if (!FilerSaveToStream(Stream.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr))
        return nullptr;
    Stream->SetPosition(0);
    return Stream.release();
}
