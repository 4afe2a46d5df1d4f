#include "richedit/RichLayout.h"
#include "richedit/RichPicture.h"
#include "richedit/RtfReader.h"
#include "richedit/RtfWriter.h"
#include "gdi/Bitmap.h"
#include "rtl/testing/FuzzTarget.h"

// Read, lay out and draw, write, and read again: what the writer makes
// of a document reads back as that document.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TRichDocument Doc;
    ReadRtf(std::string_view(reinterpret_cast<const char*>(Data), Size), Doc);
    for (const TRichObject& Object : Doc.Objects())
        DecodePicture(Object.Picture);
    // Two pages' worth of layout, drawn.
    const TRichPage Page = FormatRange(Doc, 0, Rect(0, 0, 3 * 1440, 2 * 1440), true);
    FormatRange(Doc, Page.Next, Rect(0, 0, 3 * 1440, 2 * 1440), true);
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetSize(96 * 3, 96 * 2);
    DrawRange(Bmp->Canvas(), Doc, Page, 96, 96);
    const RawBytes Rtf = WriteRtf(Doc);
    TRichDocument Back;
    if (ReadRtf(Rtf, Back) != rrOk || !(Back == Doc))
        std::abort();
    return 0;
}

// Every new face name makes fontconfig cache a pattern it never frees;
// that is fontconfig's own, not a leak of the engine.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    Seeds.Add("small.rtf",
        RawBytes(R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset204 A;}{\f1\fcharset128 B;}}{\colortbl;\red9\green8\blue7;})"
                 R"(\pard\qc\li360\fi-180\tx720 \f0\'cf\f1\'82\'a0\b\i\ul\cf1 x\u8364?\par{\*\pn\pnlvlblt}b)"
                 R"({\field{\*\fldinst HYPERLINK "u"}{\fldrslt l}}{\object{\*\objdata 00}{\result x}}})"));
    Seeds.AddFromTool("writer.rtf", { "sh", "-c",
        "cd \"$(dirname {})\" && printf '<p><b>B</b> <i>i</i> <a href=\"http://x\">l</a></p><ul><li>b</li></ul>' > d.html && "
        "pandoc -s d.html -o {}" });
}
