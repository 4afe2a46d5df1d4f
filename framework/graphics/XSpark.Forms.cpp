#include "graphics/XSpark.Forms.h"

X_REGISTER_CLASS(TXFormOptions)

X_PUBLISHED(TXFormOptions)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(BorderStyle, BorderStyle, SetBorderStyle).Default(bsDialog);
    X_PROP(Width, Width, SetWidth).Default(0);
    X_PROP(Height, Height, SetHeight).Default(0);
    X_PROP(Left, Left, SetLeft).Default(0);
    X_PROP(Top, Top, SetTop).Default(0);
    X_PROP(Position, Position, SetPosition).Default(poScreenCenter);
    X_PROP(Final, Final, SetFinal).Default(false);
}

void TXFormOptions::SetDefaults()
{
    inherited::SetDefaults();
    FCaption.clear();
    FBorderStyle = bsDialog;
    FBoundsRect = {};
    FWidth = FHeight = FLeft = FTop = 0;
    FPosition = poScreenCenter;
    FWindowState = wsNormal;
    FFinal = false;
}

bool TXFormOptions::AssignFrom(TPersistent* Source)
{
    auto* Other = DynamicCast<TXFormOptions>(Source);
    if (!Other)
        return inherited::AssignFrom(Source);
    if (Other != this) {
        FCaption = Other->FCaption;
        FBorderStyle = Other->FBorderStyle;
        FBoundsRect = Other->FBoundsRect;
        FWidth = Other->FWidth;
        FHeight = Other->FHeight;
        FLeft = Other->FLeft;
        FTop = Other->FTop;
        FPosition = Other->FPosition;
        FWindowState = Other->FWindowState;
        FFinal = Other->FFinal;
    }
    return true;
}
