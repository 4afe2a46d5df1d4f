#include "richedit/RichPicture.h"
#include "richedit/RtfReader.h"
#include "richedit/RtfWriter.h"
#include "RichTestSupport.h"
#include <functional>
#include <gtest/gtest.h>
#include <zlib.h>

namespace {

void PutBigEndian(RawBytes& Out, Cardinal V)
{
    for (int I = 3; I >= 0; --I)
        Out.push_back(char(V >> (8 * I)));
}

void PngChunk(RawBytes& Out, const char* Type, const RawBytes& Data)
{
    PutBigEndian(Out, Cardinal(Data.size()));
    const RawBytes Body = Type + Data;
    Out += Body;
    PutBigEndian(Out, Cardinal(crc32(0, reinterpret_cast<const Bytef*>(Body.data()), uInt(Body.size()))));
}

// A PNG of 65535 x 65535 grey pixels whose data is 16 MiB of zeros
// deflated to a few kilobytes.
RawBytes PngBomb()
{
    RawBytes Png = "\x89PNG\r\n\x1a\n";
    RawBytes Header;
    PutBigEndian(Header, 65535);
    PutBigEndian(Header, 65535);
    Header += RawBytes("\x08\x00\x00\x00\x00", 5);
    PngChunk(Png, "IHDR", Header);
    const std::vector<Byte> Zeros(size_t(16) << 20, 0);
    uLongf Size = compressBound(uLong(Zeros.size()));
    RawBytes Deflated(Size, '\0');
    compress2(reinterpret_cast<Bytef*>(Deflated.data()), &Size, Zeros.data(), uLong(Zeros.size()), 9);
    Deflated.resize(Size);
    PngChunk(Png, "IDAT", Deflated);
    PngChunk(Png, "IEND", {});
    return Png;
}

// What a load of Rtf gives: its result, text, first format and pictures,
// after laying it out and writing it again.
std::string Load(const RawBytes& Rtf)
{
    TRichDocument Doc;
    const TRtfReadResult R = ReadRtf(Rtf, Doc);
    const TRichCharFormat& F = Doc.CharFormatAt(Doc.Length() - 1);
    const TRichParaFormat& P = Doc.Paras().back().Format;
    std::string Out = (R == rrOk ? "ok " : R == rrDamaged ? "damaged " : "not rtf ") + Testing::U8(Doc.Text().substr(0, 24));
    Out += " | " + Testing::U8(F.FaceName) + " " + std::to_string(F.Height) + " " + std::to_string(P.StartIndent);
    Out += (F.Effects & CFE_AUTOCOLOR) ? " auto" : " colour";
    for (const TRichObject& O : Doc.Objects())
        Out += DecodePicture(O.Picture) ? " picture" : " frame";
    // Writing it again costs no more than reading it.
    TRichDocument Back;
    ReadRtf(WriteRtf(Doc), Back);
    if (!(Back == Doc))
        Out += " (written differently)";
    return Out;
}

}

TEST(RtfReader, HostileInputStaysWithinItsBudget)
{
    struct TCase {
        const char* Name;
        RawBytes Rtf;
        const char* Result;
    };
    RawBytes Fonts = "{\\rtf1{\\fonttbl";
    for (int I = 0; I < 100000; ++I)
        Fonts += "{\\f" + std::to_string(I) + " Font " + std::to_string(I) + ";}";
    Fonts += "}\\f99999 x}";
    const TCase Cases[] = {
        { "a million nested groups", "{\\rtf1 before" + RawBytes(1000000, '{') + "x", "damaged before | Arial 240 0 auto" },
        { "\\bin of 2 GiB on 10 bytes", "{\\rtf1 ok{\\pict\\pngblip\\bin2147483647 0123456789", "damaged ok | Arial 240 0 auto" },
        { "unterminated groups", "{\\rtf1 a{\\b b{\\i c{\\field{\\*\\fldinst{HYPERLINK \"x", "damaged abc | Arial 240 0 auto" },
        { "a hundred thousand fonts", Fonts, "ok x | Font 99999 240 0 auto" },
        { "sizes, indents, colours and \\uc out of range",
            "{\\rtf1{\\colortbl;\\red1;}\\fs99999999999999999999\\li-99999999999\\fi-99999999\\cf99999\\uc99999999\\u65 "
            "skipped text that is long\\par y}",
            "ok At is long\ry | Arial 32760 -31680 auto" },
        { "negative size and bad escapes", "{\\rtf1\\fs-5\\'zz\\'4\\'", "damaged zz4 | Arial 1 0 auto" },
        { "a PNG bomb in a picture", "{\\rtf1 p{\\pict\\pngblip " + RichTesting::Hex(PngBomb()) + "}}", "ok p\xEF\xBF\xBC | Arial 240 0 auto frame" },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const Testing::TBoundedRun Run = Testing::RunBounded([&C] { return Load(C.Rtf); }, 1024);
        Testing::PrintBoundedRun(C.Name, Int64(C.Rtf.size()), Run);
        ASSERT_TRUE(Run.Exited);
        EXPECT_EQ(Run.Result, C.Result);
        // A small multiple of the input, beyond what the process had (the
        // address sanitizer's red zones round each small allocation up).
        const Int64 Multiple = Testing::SanitizedBuild ? 32 : 8;
        EXPECT_LT(Run.PeakKiB, Int64(C.Rtf.size()) * Multiple / 1024 + 8 * 1024);
    }
}
