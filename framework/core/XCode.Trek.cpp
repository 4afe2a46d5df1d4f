#include "core/XCode.Trek.h"
#include "rtl/Units.h"

X_REGISTER_CLASS(TXCodeTrek)

void TXCodeTrek::Create()
{
    inherited::Create();
    FLines = MakeOwned<TStringList>();
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
std::atomic<bool> GCodeTrekEnabled { false };

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

bool CodeTrekEnabled()
{
    return GCodeTrekEnabled.load() && GCodeTrek;
}

void SetCodeTrekEnabled(bool Value)
{
    GCodeTrekEnabled = Value;
}

X_UNIT(XCode_Trek, "XCode.Trek", { "XCore.Classes" }, &InitCodeTrek, &DoneCodeTrek)
