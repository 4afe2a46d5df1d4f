// The filer of the XML object form: one group for the bound object, read
// and written as a whole XML document (written compact).
//
//     if (!FilerLoadFromStream(Reply, TXMLFiler::StaticClass(), Servers, false, nullptr))
//         ... GetXErrorCode() is xecReadFailed ...
#pragma once
#include "core/XCore.Filers.h"
#include "core/XCore.XMLObjects.h"

class TXCustomXMLFilerGroup : public TXFilerGroup {
    X_CLASS(TXCustomXMLFilerGroup, TXFilerGroup)
};

class TXCustomXMLFiler : public TXFiler {
    X_CLASS(TXCustomXMLFiler, TXFiler)
};

class TXMLFiler : public TXCustomXMLFiler {
    X_CLASS(TXMLFiler, TXCustomXMLFiler)
public:
    // Adds one TXCustomXMLFilerGroup for AData.
    void DefineGroups(TObject* AData, Integer AMode, const TXFilerParts& AParts) override;
    // Both read the first group's object from the stream's beginning; true
    // with nothing to do when there is no group or no object. xecReadFailed on
    // failure; Progress is finished either way.
    bool LoadFromStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    bool LoadFromStreamAlt(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;
    // The first group's object, compact; xecWriteFailed on failure.
    bool SaveToStream(TStream* Stream, TXProgress* Progress, bool RaiseErrors) override;

private:
    TObject* GroupObject() const;
};
