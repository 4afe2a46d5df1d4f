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
