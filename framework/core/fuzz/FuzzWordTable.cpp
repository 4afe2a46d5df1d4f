#include "rtl/testing/FuzzTarget.h"
#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"

// The input is a word table as a language file carries it; every id it
// defines is looked up (decoding its value), and the language id read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBytesStream> Source(FuzzStream(Data, Size));
    TOwnedPtr<TXLg> Lang(New<TXLg>());
    Lang->LoadWordsFromStream(Source.get(), true);
    size_t Length = 0;
    for (const auto& Pair : *Lang->Words())
        Length += Lang->GetWord(Pair.Key).size();
    Length += Lang->GetLgID();
    return Length == size_t(-1);
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    const auto Coded = [](const std::string& Utf8) { return xStr::EncodeDigits({ Utf8, CP_UTF8 }, 36).Bytes; };
    const std::string Table = "1=" + Coded("1031") + "\r\n1A=" + Coded("Kalender") + "\n8000001B=" + Coded("a#13#10b") +
        "\n1C=" + Coded("Grüße#13#10") + "\n";
    Seeds.Add("ansi", Table);
    Seeds.Add("utf8-mark", "\xEF\xBB\xBF" + Table);
    std::string Utf16 = "\xFF\xFE";
    for (char C : Table)
        Utf16 += std::string { C, '\0' };
    Seeds.Add("utf16-mark", Utf16);
}
