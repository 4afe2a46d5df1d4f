// The trace list: text lines that diagnostic code may add and read back.
// The unit makes the one list at start-up and frees it at exit; CodeTrek()
// answers it (null outside that time).
#pragma once
#include "rtl/Persistent.h"
#include "rtl/StringList.h"
#include <atomic>

struct IXCodeTrek : IInterface {
    X_GUID("{8FC001A3-B4FA-46AB-9515-D70E77598BBF}")
    virtual void Clear() = 0;
    virtual void Add(const String& Line) = 0;
};

// Its interface references do not free it; its owner does.
class TXCodeTrek : public TInterfacedPersistent, public IXCodeTrek {
    X_CLASS(TXCodeTrek, TInterfacedPersistent)
    X_INTERFACES(TXCodeTrek, IXCodeTrek)
    X_FORWARD_IINTERFACE(TInterfacedPersistent)

    void Create() override;

    void Clear() override;
    void Add(const String& Line) override;
    TStringList* Lines() const { return FLines.get(); }

private:
    TOwnedPtr<TStringList> FLines;
};

TXCodeTrek* CodeTrek();

// The trace flag: diagnostic code adds lines only while it is on (and the
// list exists). Off unless a program or a test turns it on.
bool CodeTrekEnabled();
void SetCodeTrekEnabled(bool Value);
