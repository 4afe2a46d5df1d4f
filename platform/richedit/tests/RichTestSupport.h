// What the rich-text tests share: finding text in a document and the
// formats there, and pictures as bytes.
#pragma once
#include "richedit/RichDocument.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

namespace RichTesting {

inline Integer Find(const TRichDocument& Doc, StringView Needle)
{
    const size_t At = Doc.Text().find(Needle);
    EXPECT_NE(At, String::npos) << Testing::U8(String(Needle)) << " not in " << Testing::U8(Doc.Text());
    return Integer(At == String::npos ? 0 : At);
}

// The format of Needle's first character.
inline const TRichCharFormat& CharOf(const TRichDocument& Doc, StringView Needle)
{
    return Doc.CharFormatAt(Find(Doc, Needle));
}

inline const TRichParaFormat& ParaOf(const TRichDocument& Doc, StringView Needle)
{
    return Doc.Paras()[Doc.ParaIndexAt(Find(Doc, Needle))].Format;
}

inline RawBytes FileText(const std::filesystem::path& Path)
{
    const Testing::Bytes B = Testing::ReadFileBytes(Path);
    return RawBytes(B.begin(), B.end());
}

inline std::string Hex(const RawBytes& Bytes)
{
    std::string Out;
    for (char C : Bytes) {
        static constexpr char Digits[] = "0123456789abcdef";
        Out += Digits[Byte(C) >> 4];
        Out += Digits[Byte(C) & 15];
    }
    return Out;
}

// A real PNG of one colour made by ImageMagick.
inline RawBytes SolidPng(Integer Width, Integer Height, const std::string& Colour)
{
    Testing::TTempFolder Folder;
    const std::string File = (Folder / "p.png").string();
    EXPECT_EQ(Testing::RunTool({ "convert", "-size", std::to_string(Width) + "x" + std::to_string(Height),
                                   "xc:" + Colour, "PNG24:" + File })
                  .ExitCode,
        0);
    return FileText(File);
}

}

#include "gdi/Bitmap.h"
#include "gdi/PngImage.h"

namespace RichTesting {

// Saves Bmp as <build tree>/test-pictures/Name (a PNG) for a person to look at.
inline std::filesystem::path SaveRendering(TBitmap* Bmp, const std::string& Name)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp);
    const std::filesystem::path Path = Testing::TestPicturePath(Name);
    Png->SaveToFile(UTF8ToString(Path.string()));
    return Path;
}

// Pixels of Bmp near the colour (each channel within Tolerance).
inline Integer CountNear(TBitmap* Bmp, Byte R, Byte G, Byte B, Integer Tolerance)
{
    Integer N = 0;
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X) {
            const Byte* P = Bmp->ScanLine(Y) + X * Bmp->BytesPerPixel();
            N += std::abs(P[2] - R) <= Tolerance && std::abs(P[1] - G) <= Tolerance && std::abs(P[0] - B) <= Tolerance;
        }
    return N;
}

}
