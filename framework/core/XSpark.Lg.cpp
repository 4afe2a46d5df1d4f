#include "core/XSpark.Lg.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Strings.h"
#include "rtl/CodePages.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXW)
X_REGISTER_CLASS(TXLg)

namespace {

TXLg* GLg = nullptr;

void InitLg()
{
    GLg = New<TXLg>();
}

void DoneLg()
{
    FreeAndNil(GLg);
}

// The stream's rest as lines of text: a byte-order mark names the
// encoding, else the bytes are ANSI.
std::vector<String> TextLines(const RawBytes& Bytes)
{
    String Text;
    const auto* B = reinterpret_cast<const Byte*>(Bytes.data());
    const size_t N = Bytes.size();
    if (N >= 3 && B[0] == 0xEF && B[1] == 0xBB && B[2] == 0xBF) {
        Text = FromCodePage(std::string_view(reinterpret_cast<const char*>(B) + 3, N - 3), CP_UTF8);
    } else if (N >= 2 && ((B[0] == 0xFF && B[1] == 0xFE) || (B[0] == 0xFE && B[1] == 0xFF))) {
        const bool Little = B[0] == 0xFF;
        for (size_t I = 2; I + 1 < N; I += 2)
            Text.push_back(char16_t(Little ? B[I] | (B[I + 1] << 8) : (B[I] << 8) | B[I + 1]));
    } else {
        Text = FromCodePage(std::string_view(reinterpret_cast<const char*>(B), N), CP_1252);
    }
    std::vector<String> Lines;
    size_t Start = 0;
    for (size_t I = 0; I <= Text.size(); ++I) {
        if (I < Text.size() && Text[I] != u'\r' && Text[I] != u'\n')
            continue;
        Lines.push_back(Text.substr(Start, I - Start));
        if (I + 1 < Text.size() && Text[I] == u'\r' && Text[I + 1] == u'\n')
            ++I;
        Start = I + 1;
    }
    return Lines;
}

// A hexadecimal id of at most 32 bits; 0 when it does not parse.
Cardinal ParseId(StringView Name)
{
    if (Name.empty() || Name.size() > 8)
        return 0;
    Cardinal Value = 0;
    for (char16_t C : Name) {
        Integer D = C >= u'0' && C <= u'9' ? C - u'0'
            : C >= u'a' && C <= u'f'       ? C - u'a' + 10
            : C >= u'A' && C <= u'F'       ? C - u'A' + 10
                                           : -1;
        if (D < 0)
            return 0;
        Value = Value << 4 | Cardinal(D);
    }
    return Value;
}

} // namespace

X_UNIT(XSpark_Lg, "XSpark.Lg", ({ "XCore.Classes" }), &InitLg, &DoneLg)

TXLg* Lg()
{
    return GLg;
}

// ---- TXW ----

String TXW::GetWord(Cardinal Id) const
{
    const Integer I = IndexOfKey(Id);
    if (I < 0 || Id == 0)
        return String();
    TCodePageString Digits { RawBytes(Items(I).Value.begin(), Items(I).Value.end()), CP_1252 };
    TCodePageString Decoded = xStr::DecodeDigits(Digits, 36);
    String Text =
        FromCodePage(std::string_view(reinterpret_cast<const char*>(Decoded.Bytes.data()), Decoded.Bytes.size()),
            CP_UTF8);
    if ((Id & 0x80000000u) == 0)
        Text = StringReplace(Text, u"#13#10", u"\r\n", { rfReplaceAll });
    return Text;
}

bool LoadWords(TXW* Table, TStream* Stream)
{
    RawBytes Bytes;
    const bool Read = XGuarded(xecReadFailed, false, [&] {
        const Int64 Left = std::max<Int64>(Stream->Size() - Stream->Position(), 0);
        Bytes.resize(size_t(Left));
        Bytes.resize(size_t(Stream->Read(Bytes.data(), Left)));
    });
    if (!Read)
        return false;
    for (const String& Line : TextLines(Bytes)) {
        const size_t Eq = Line.find(u'=');
        if (Eq == String::npos)
            continue;
        const Cardinal Id = ParseId(StringView(Line).substr(0, Eq));
        if (Id == 0)
            continue;
        Table->Add({ Id, StringToUTF8(Line.substr(Eq + 1)) });
    }
    return true;
}

// ---- TXLg ----

void TXLg::Create()
{
    FWords = MakeOwned<TXW>();
    inherited::Create();
}

void TXLg::Clear()
{
    if (FWords)
        FWords->Clear();
}

bool TXLg::LoadWordsFromStream(TStream* Stream, bool Rewind)
{
    if (Rewind)
        Stream->SetPosition(0);
    return LoadWords(FWords.get(), Stream);
}

Cardinal TXLg::GetLgID() const
{
    const String Text = GetWord(1);
    if (Text.empty() || Text.size() > 10)
        return 0;
    UInt64 Value = 0;
    for (char16_t C : Text) {
        if (C < u'0' || C > u'9')
            return 0;
        Value = Value * 10 + (C - u'0');
    }
    return Value > 0xFFFFFFFFu ? 0 : Cardinal(Value);
}
