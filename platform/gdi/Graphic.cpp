#include "gdi/Graphic.h"
#include "gdi/Bitmap.h"
#include "rtl/SafeSave.h"
#include "rtl/Streams.h"

X_REGISTER_CLASS(TGraphic)

void CheckGraphicSize(Int64 Width, Int64 Height)
{
    if (Width < 0 || Height < 0)
        throw EInvalidGraphic(u"Invalid picture size");
    if (Width > MaxGraphicSide || Height > MaxGraphicSide || Width * Height > MaxGraphicPixels)
        throw EInvalidGraphic(
            u"Picture too large (" + S(std::to_string(Width)) + u" x " + S(std::to_string(Height)) + u")");
}

void TGraphic::LoadFromFile(const String& FileName)
{
    TOwnedPtr<TFileStream> F(New<TFileStream>(FileName, Word(fmOpenRead | fmShareDenyWrite)));
    LoadFromStream(F.get());
}

void TGraphic::SaveToFile(const String& FileName)
{
    TOwnedPtr<TMemoryStream> Data(MakeOwned<TMemoryStream>());
    SaveToStream(Data.get());
    SaveBytesToFileSafely(FileName, std::string_view(static_cast<const char*>(Data->Memory()), size_t(Data->Size())));
}

TGraphicClass FindGraphicClass(StringView Name)
{
    TClass Class = GetClass(Name);
    return Class && Class->InheritsFrom(TGraphic::StaticClass()) ? Class : nullptr;
}

TGraphic* NewGraphic(TGraphicClass Class)
{
    if (!Class || !Class->InheritsFrom(TGraphic::StaticClass()) || !Class->Factory)
        throw EInvalidGraphic(u"Not a picture class: " + (Class ? Class->Name : String(u"nil")));
    return Construct(static_cast<TGraphic*>(Class->NewInstance()));
}

void TGraphic::Draw(TCanvas* Canvas, const TRect& Rect)
{
    if (Canvas)
        Canvas->StretchDraw(Rect, this);
}
