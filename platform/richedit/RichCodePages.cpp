#include "richedit/RichCodePages.h"
#include "rtl/CodePages.h"
#include <cerrno>
#include <iconv.h>
#include <string>

namespace {

struct TCharsetPage {
    Byte Charset;
    Word CodePage;
};

// Font charsets and the pages that hold their characters.
constexpr TCharsetPage CharsetPages[] = {
    { 0, 1252 }, { 77, 10000 }, { 128, 932 }, { 129, 949 }, { 130, 1361 }, { 134, 936 }, { 136, 950 },
    { 161, 1253 }, { 162, 1254 }, { 163, 1258 }, { 177, 1255 }, { 178, 1256 }, { 186, 1257 }, { 204, 1251 },
    { 222, 874 }, { 238, 1250 }, { 255, 437 },
};

// iconv's name of a page; empty for the pages decoded without it.
std::string IconvName(Word CodePage)
{
    switch (CodePage) {
    case CP_1252: return {};
    case CP_UTF8: return "UTF-8";
    case CP_UTF16LE: return "UTF-16LE";
    case CP_UTF16BE: return "UTF-16BE";
    case 10000: return "MACINTOSH";
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 1361: return "JOHAB";
    default: return "CP" + std::to_string(CodePage);
    }
}

iconv_t OpenIconv(Word CodePage)
{
    const std::string Name = IconvName(CodePage);
    return Name.empty() ? iconv_t(-1) : iconv_open("UTF-16LE", Name.c_str());
}

constexpr Char Replacement = 0xFFFD;

}

Word CharsetCodePage(Integer Charset)
{
    for (const TCharsetPage& P : CharsetPages)
        if (P.Charset == Charset)
            return P.CodePage;
    return 0;
}

Byte CodePageCharset(Word CodePage)
{
    for (const TCharsetPage& P : CharsetPages)
        if (P.CodePage == CodePage)
            return P.Charset;
    return 0;
}

bool CodePageKnown(Word CodePage)
{
    const iconv_t Cd = OpenIconv(CodePage);
    if (Cd == iconv_t(-1))
        return CodePage == CP_1252;
    iconv_close(Cd);
    return true;
}

TCodePageDecoder::TCodePageDecoder(Word CodePage)
    : FCodePage(CodePage)
    , FIconv(OpenIconv(CodePage))
{
    if (FIconv == iconv_t(-1))
        FCodePage = CP_1252;
}

TCodePageDecoder::~TCodePageDecoder()
{
    if (FIconv != iconv_t(-1))
        iconv_close(iconv_t(FIconv));
}

void TCodePageDecoder::Feed(std::string_view Bytes, String& Out)
{
    if (FIconv == iconv_t(-1)) {
        Out += AnsiToString(Bytes);
        return;
    }
    FCarry.append(Bytes);
    const size_t Unit = FCodePage == CP_UTF16LE || FCodePage == CP_UTF16BE ? 2 : 1;
    char* In = FCarry.data();
    size_t InLeft = FCarry.size();
    const size_t Start = Out.size();
    Out.resize(Start + InLeft + 2);
    char* Dest = reinterpret_cast<char*>(Out.data() + Start);
    size_t DestLeft = (InLeft + 2) * sizeof(Char);
    while (InLeft > 0) {
        if (iconv(iconv_t(FIconv), &In, &InLeft, &Dest, &DestLeft) != size_t(-1))
            break;
        if (errno == EINVAL)
            break; // an unfinished character: carried over
        if (errno != EILSEQ)
            break; // E2BIG cannot happen: a byte never makes more than one unit
        // One unit of bytes that stands for nothing.
        const size_t Skip = InLeft < Unit ? InLeft : Unit;
        In += Skip;
        InLeft -= Skip;
        *reinterpret_cast<Char*>(Dest) = Replacement;
        Dest += sizeof(Char);
        DestLeft -= sizeof(Char);
    }
    Out.resize(size_t(reinterpret_cast<Char*>(Dest) - Out.data()));
    FCarry.erase(0, FCarry.size() - InLeft);
}

void TCodePageDecoder::Finish(String& Out)
{
    if (!FCarry.empty())
        Out.push_back(Replacement);
    FCarry.clear();
    if (FIconv != iconv_t(-1))
        iconv(iconv_t(FIconv), nullptr, nullptr, nullptr, nullptr);
}

String DecodeCodePage(std::string_view Bytes, Word CodePage)
{
    if (CodePage == CP_1252)
        return AnsiToString(Bytes);
    TCodePageDecoder Decoder(CodePage);
    String Out;
    Decoder.Feed(Bytes, Out);
    Decoder.Finish(Out);
    return Out;
}
