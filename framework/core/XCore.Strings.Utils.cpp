#include "core/XCore.Strings.Utils.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"
#include "core/XCore.Strings.h"

String FormatSizeKBMB(Int64 LimitKB, double Bytes)
{
    if (Bytes < double(LimitKB) * 1024)
        return xStr::FormatSafe(u"%0.2f KB", { Bytes / 1024 });
    return xStr::FormatSafe(u"%0.2f MB", { Bytes / 1048576 });
}

String FormatTimeSpan(const String& HoursWord, const String& MinutesWord, const String& SecondsWord, Int64 Seconds)
{
    if (Seconds < 0)
        Seconds = 0;
    Int64 H = Seconds / 3600;
    Int64 Rest = Seconds % 3600;
    Int64 M = Rest / 60;
    Int64 S = Rest % 60;
    if (H > 0)
        return IntToStr(H) + u" " + HoursWord + u" " + IntToStr(M) + u" " + MinutesWord;
    return IntToStr(M) + u" " + MinutesWord + u" " + IntToStr(S) + u" " + SecondsWord;
}

String StreamToString(TStream* Stream, Int64 Count)
{
    return xStr::StreamToStr(Stream, Count);
}

String LoadStringFromFile(const String& FileName)
{
    try {
        TOwnedPtr<TFileStream> File(New<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite));
        return StreamToString(File.get(), -1);
    } catch (const Exception&) {
        return {};
    }
}

void SaveStringToFile(const String& FileName, const String& Text)
{
    xStr::SaveToFileA(FileName, StringToAnsi(Text));
}

bool TextToBool(StringView Text)
{
    if (Text.empty())
        return false;
    if (Text[0] == u'T' || Text[0] == u't')
        return true;
    if (Text[0] == u'F' || Text[0] == u'f')
        return false;
    return StrToInt64Def(Text, 0) != 0;
}

String SizeToText(Integer A, Integer B)
{
    return IntToStr(A) + u"x" + IntToStr(B);
}

String ShuffleText(StringView Text)
{
    String Out;
    Out.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); I += 2)
        Out += Text[I];
    for (size_t I = Text.size() / 2 * 2; I >= 2; I -= 2)
        Out += Text[I - 1];
    return Out;
}

String UnshuffleText(StringView Text)
{
    String Out;
    Out.reserve(Text.size());
    size_t Front = 0, Back = Text.size();
    while (Front < Back) {
        Out += Text[Front++];
        if (Front < Back)
            Out += Text[--Back];
    }
    return Out;
}
