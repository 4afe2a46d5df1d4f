#include "core/XCode.Trek.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXCodeTrek)

void TXCodeTrek::Create()
{
    inherited::Create();
    FLines = New<TStringList>();
}

TXCodeTrek::~TXCodeTrek()
{
    FreeAndNil(FLines);
}

void TXCodeTrek::Clear()
{
    FLines->Clear();
}

void TXCodeTrek::Add(const String& Line)
{
    FLines->Add(Line);
}

namespace {
TXCodeTrek* GCodeTrek = nullptr;

void InitCodeTrek()
{
    if (!GCodeTrek)
        GCodeTrek = New<TXCodeTrek>();
}

void DoneCodeTrek()
{
    FreeAndNil(GCodeTrek);
}
}

TXCodeTrek* CodeTrek()
{
    return GCodeTrek;
}

X_UNIT(XCode_Trek, "XCode.Trek", { "XCore.Classes" }, &InitCodeTrek, &DoneCodeTrek)
