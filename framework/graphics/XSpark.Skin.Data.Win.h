// The skin data module of the application's message pictures and icon. It
// holds five image boxes: AppImages ("Application", "Application16",
// "Application48": the program icon whole and at 16 and 48 pixels) and one
// box each for information, question, error and warning pictures ("64",
// the picture as drawn, then "48", "32" and "16", resampled from it with
// the Lanczos kernel as RGBA PNG pictures). Made, it hands the boxes to the
// application's image skin (XSpark.Skin).
//
// The process-wide module exists from the unit's initialisation to its
// finalisation; its pictures are drawn by this project's own generator and
// built into the library.
#pragma once
#include "graphics/XMedia.Images.h"
#include <span>

class TxskWinData : public TComponent {
    X_CLASS(TxskWinData, TComponent)
public:
    void Create(TComponent* AOwner) override;

    TXImagesBox* AppImages() const { return FAppImages; }
    TXImagesBox* InfoImages() const { return FInfoImages; }
    TXImagesBox* QuestionImages() const { return FQuestionImages; }
    TXImagesBox* ErrorImages() const { return FErrorImages; }
    TXImagesBox* WarningImages() const { return FWarningImages; }

private:
    // Owned components of the module.
    TXImagesBox* FAppImages = nullptr;
    TXImagesBox* FInfoImages = nullptr;
    TXImagesBox* FQuestionImages = nullptr;
    TXImagesBox* FErrorImages = nullptr;
    TXImagesBox* FWarningImages = nullptr;
};

// The process-wide module; null outside the unit's lifetime.
TxskWinData* xskWinData();

// The program's main icon: an icon file of PNG entries (16, 32, 48).
std::span<const Byte> ProgramIconData();
