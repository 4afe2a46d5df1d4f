// The application's image skin: one process-wide object that hands out the
// pictures of the application and of message boxes (error, information,
// question, warning) and image boxes by name. The message pictures come
// from the skin data module (XSpark.Skin.Data.Win); a reference set to
// nothing, or whose box is freed, falls back to the shared default box,
// which is empty:
//
//     TXImageCollection* Pictures = SkinWarningImages();    // "64", "48", "32", "16"
//     TXImagesBox* Glyphs = SkinImagesBox(u"Glyphs");      // the default box when none is named so
//
// Both objects exist from the unit's initialisation to its finalisation.
#pragma once
#include "graphics/XMedia.Images.h"
#include <array>

// The five picture boxes of the skin.
enum TXSkinImagesKind { sikApp, sikError, sikInfo, sikQuestion, sikWarning };

class TXQVSkin : public TXComponent {
    X_CLASS(TXQVSkin, TXComponent)
public:
    // Every reference starts at the default box.
    void Create(TComponent* AOwner) override;

    TXImagesBox* Images(TXSkinImagesKind Kind) const { return FBoxes[Kind]; }
    // Null sets the default box.
    void SetImages(TXSkinImagesKind Kind, TXImagesBox* Value);
    TXImagesBox* AppImages() const { return Images(sikApp); }
    void SetAppImages(TXImagesBox* Value) { SetImages(sikApp, Value); }
    TXImagesBox* ErrorImages() const { return Images(sikError); }
    void SetErrorImages(TXImagesBox* Value) { SetImages(sikError, Value); }
    TXImagesBox* InfoImages() const { return Images(sikInfo); }
    void SetInfoImages(TXImagesBox* Value) { SetImages(sikInfo, Value); }
    TXImagesBox* QuestionImages() const { return Images(sikQuestion); }
    void SetQuestionImages(TXImagesBox* Value) { SetImages(sikQuestion, Value); }
    TXImagesBox* WarningImages() const { return Images(sikWarning); }
    void SetWarningImages(TXImagesBox* Value) { SetImages(sikWarning, Value); }

    // The named boxes (not owned; a freed box leaves the list).
    TXImagesBoxList* ImagesBoxes() const { return FImagesBoxes.get(); }
    // Lists a box once.
    void AddImagesBox(TXImagesBox* Box);
    // The first listed box whose Name is Name (case-sensitive), else the
    // default box.
    TXImagesBox* GetImagesBox(const String& Name) const;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::array<TXImagesBox*, 5> FBoxes {};
    TOwnedPtr<TXImagesBoxList> FImagesBoxes;
};

// The shared default box and the process-wide skin; null outside the
// unit's lifetime.
TXImagesBox* DefaultImagesBox();
TXQVSkin* QVSkin();

// The pictures of the skin's boxes; null outside the unit's lifetime.
TXImageCollection* SkinAppImages();
TXImageCollection* SkinErrorImages();
TXImageCollection* SkinInfoImages();
TXImageCollection* SkinQuestionImages();
TXImageCollection* SkinWarningImages();
TXImagesBox* SkinImagesBox(const String& Name);
