// TPicture: holds one picture of any registered class and loads files by
// their extension (.bmp, .jpg/.jpeg/.jpe/.jfif, .png, .ico,
// .emf/.wmf).
#pragma once
#include "gdi/Graphic.h"

class TPicture : public TPersistent {
    X_CLASS(TPicture, TPersistent)
public:
    void Create() override { }
    ~TPicture() override;

    // Null when the picture holds nothing.
    TGraphic* Graphic() const { return FGraphic; }
    // Holds a copy of Value (a new picture of its class, assigned from it);
    // null empties the picture.
    void SetGraphic(TGraphic* Value);
    // Makes the picture hold a new, empty picture of Class unless it holds
    // one of that class (or a descendant) already; raises EInvalidGraphic
    // for a class that is no picture class.
    void ForceGraphicClass(TGraphicClass Class);
    Integer Width() const { return FGraphic ? FGraphic->Width() : 0; }
    Integer Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // The class comes from the extension; an unknown one raises
    // EInvalidGraphic, and a failed load leaves the picture as it was.
    void LoadFromFile(const String& FileName);
    void SaveToFile(const String& FileName);
    // From a picture holder or a picture; null empties it.
    void Assign(TPersistent* Source) override;

private:
    TGraphic* FGraphic = nullptr;
};

// The picture class that loads files with this extension (".png", any
// case); null when none does.
TGraphicClass GraphicClassOfExtension(StringView Extension);
