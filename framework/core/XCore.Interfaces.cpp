#include "core/XCore.Interfaces.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Strings.Utils.h"

TGUID XDetail::InstanceGuid(const TGUID& Base, const char* TypeName)
{
    UInt64 Hash = 14695981039346656037ull;
    for (const char* P = TypeName; *P; ++P)
        Hash = (Hash ^ Byte(*P)) * 1099511628211ull;
    TGUID Result = Base;
    for (int I = 0; I < 8; ++I)
        Result.D4[I] ^= Byte(Hash >> (8 * I));
    return Result;
}

bool XSupports(TObject* Instance, const TGUID& IID, void** Intf)
{
    *Intf = nullptr;
    if (!Instance)
        return false;
    void* Unknown = nullptr;
    if (Instance->GetInterface(IInterface::IID, &Unknown)) {
        auto Probe = IPtr<IInterface>::Adopt(static_cast<IInterface*>(Unknown));
        if (Probe->QueryInterface(IID, Intf) == S_OK)
            return true;
        *Intf = nullptr;
        // Probe is released only after the class's table answered, so a
        // counted object found there keeps the reference handed out.
        return Instance->GetInterface(IID, Intf);
    }
    return Instance->GetInterface(IID, Intf);
}

void MakeUniqueComponentName(TComponent* Component, const String& BaseName, String& Name)
{
    TComponent* Validator = Component->Owner() ? Component->Owner() : Component;
    TComponent* Subject = Component->Owner() ? Component : nullptr;
    // Every clash is with one of the owner's components, so a validation
    // that refuses this many candidates refuses all of them.
    const Integer Limit = Validator->ComponentCount() + 1000;
    for (Integer Number = 0;; ++Number) {
        String Candidate = Number == 0 ? BaseName : BaseName + UTF8ToString(std::to_string(Number));
        try {
            Validator->ValidateRename(Subject, Component->Name(), Candidate);
            Name = Candidate;
            return;
        } catch (const Exception&) {
            if (Number >= Limit)
                throw;
        }
    }
}

bool GetPropText(TObject* Instance, StringView Name, String& Text)
{
    Text.clear();
    try {
        const TPropInfo* Prop = Instance ? GetPropInfo(Instance, Name) : nullptr;
        if (!Prop)
            return false;
        Text = GetPropValueText(Instance, Prop);
        return true;
    } catch (const std::exception&) {
        Text.clear();
        return false;
    }
}

bool GetPropBool(TObject* Instance, StringView Name, bool& Value)
{
    Value = false;
    String Text;
    if (!GetPropText(Instance, Name, Text))
        return false;
    try {
        Value = TextToBool(Text);
    } catch (const std::exception&) {
        Value = false;
    }
    return true;
}

bool SetPropText(TObject* Instance, StringView Name, StringView Text)
{
    try {
        const TPropInfo* Prop = Instance ? GetPropInfo(Instance, Name) : nullptr;
        if (!Prop)
            return false;
        SetPropValueText(Instance, Prop, Text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
