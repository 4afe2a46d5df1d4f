#include "gdi/Picture.h"

X_REGISTER_CLASS(TPicture)

namespace {

bool SameExtension(StringView A, const char16_t* B)
{
    size_t I = 0;
    for (; I < A.size() && B[I]; ++I) {
        char16_t C = A[I];
        if (C >= u'A' && C <= u'Z')
            C = char16_t(C - u'A' + u'a');
        if (C != B[I])
            return false;
    }
    return I == A.size() && !B[I];
}

} // namespace

TGraphicClass GraphicClassOfExtension(StringView Extension)
{
    static const struct {
        const char16_t* Extension;
        const char16_t* ClassName;
    } Formats[] = {
        { u".bmp", u"TBitmap" },
        { u".jpg", u"TJPEGImage" },
        { u".jpeg", u"TJPEGImage" },
        { u".jpe", u"TJPEGImage" },
        { u".jfif", u"TJPEGImage" },
        { u".png", u"TPngImage" },
        { u".ico", u"TIcon" },
        { u".emf", u"TMetafile" },
        { u".wmf", u"TMetafile" },
    };
    for (const auto& F : Formats)
        if (SameExtension(Extension, F.Extension))
            return FindGraphicClass(F.ClassName);
    return nullptr;
}

TPicture::~TPicture()
{
    FreeAndNil(FGraphic);
}

void TPicture::SetGraphic(TGraphic* Value)
{
    TGraphic* Copy = nullptr;
    if (Value) {
        TOwnedPtr<TGraphic> New(NewGraphic(Value->ClassType()));
        New->Assign(Value);
        Copy = New.release();
    }
    FreeAndNil(FGraphic);
    FGraphic = Copy;
}

void TPicture::ForceGraphicClass(TGraphicClass Class)
{
    if (FGraphic && Class && FGraphic->InheritsFrom(Class))
        return;
    TGraphic* New = NewGraphic(Class);
    FreeAndNil(FGraphic);
    FGraphic = New;
}

void TPicture::LoadFromFile(const String& FileName)
{
    const size_t Dot = FileName.rfind(u'.');
    const size_t Slash = FileName.rfind(u'/');
    String Extension = Dot == String::npos || (Slash != String::npos && Dot < Slash) ? String() : FileName.substr(Dot);
    TGraphicClass Class = GraphicClassOfExtension(Extension);
    if (!Class)
        throw EInvalidGraphic(u"Unknown picture file extension (" + Extension + u")");
    TOwnedPtr<TGraphic> New(NewGraphic(Class));
    New->LoadFromFile(FileName);
    FreeAndNil(FGraphic);
    FGraphic = New.release();
}

void TPicture::SaveToFile(const String& FileName)
{
    if (FGraphic)
        FGraphic->SaveToFile(FileName);
}

void TPicture::Assign(TPersistent* Source)
{
    if (!Source) {
        SetGraphic(nullptr);
    } else if (auto* Other = DynamicCast<TPicture>(Source)) {
        if (Other != this)
            SetGraphic(Other->FGraphic);
    } else if (auto* Graphic = DynamicCast<TGraphic>(Source)) {
        SetGraphic(Graphic);
    } else {
        inherited::Assign(Source);
    }
}
