#include "rtl/testing/FuzzTarget.h"
#include "calendar_designs/XDesign.Stored.h"
#include "calendar_designs/XDesign.Templates.h"

// The stored text of a page: read, copied into a page, laid out, rendered
// and saved again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const String Text = UTF8ToString(std::string_view(reinterpret_cast<const char*>(Data), Size));
    TOwnedPtr<TXStoredPage> Stored(New<TXStoredPage>(static_cast<TComponent*>(nullptr)));
    TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
    if (!Stored->LoadInto(Text, Page.get(), false))
        return 0;
    Page->RescaleTo(320, 200, 4, 4, 4, 4);
    TOwnedPtr<TBitmap> Bitmap(MakeOwned<TBitmap>());
    Page->RenderPage(Bitmap.get(), true);
    Stored->SaveFrom(Page.get());
    return 0;
}

// Seeded with the shipped layouts.
void FuzzSeeds(TFuzzSeeds& Seeds)
{
    for (const TXDesignTemplate& T : DesignTemplates())
        Seeds.Add(T.Name, RawBytes(reinterpret_cast<const char*>(T.Data), T.Size));
}
