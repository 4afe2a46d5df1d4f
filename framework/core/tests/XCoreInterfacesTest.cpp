#include "rtl/TypInfo.h"
#include "core/XCore.Classes.h"
#include "core/XCore.Interfaces.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

using Testing::U8;

// ---- interfaces ----

namespace {
struct IProbe : IInterface {
    X_GUID("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}")
    virtual int Answer() = 0;
};

class TController : public TXManagedObject, public IProbe {
    X_CLASS(TController, TXManagedObject)
    X_INTERFACES(TController, IProbe)
    X_FORWARD_IINTERFACE(TXManagedObject)
public:
    int Answer() override { return 42; }
};

// Implements nothing itself but answers its controller's interfaces.
class TForwarder : public TXManagedObject {
    X_CLASS(TForwarder, TXManagedObject)
public:
    TController* Controller = nullptr;
    HRESULT QueryInterface(const TGUID& IID, void** Obj) override
    {
        if (TXManagedObject::QueryInterface(IID, Obj) == S_OK)
            return S_OK;
        return Controller->QueryInterface(IID, Obj);
    }
};
}
X_REGISTER_CLASS(TController)
X_REGISTER_CLASS(TForwarder)

TEST(XInterfaces, XSupportsAsksTheObjectFirstThenItsClass)
{
    auto Controller = MakeOwned<TController>();
    auto Forwarder = MakeOwned<TForwarder>();
    Forwarder->Controller = Controller.get();

    IPtr<IProbe> Probe;
    EXPECT_FALSE(XSupports<IProbe>(nullptr, Probe));
    ASSERT_TRUE(XSupports<IProbe>(Forwarder.get(), Probe));
    EXPECT_EQ(Probe->Answer(), 42);
    EXPECT_FALSE(Supports<IProbe>(Forwarder.get())) << "the class itself does not implement it";
    EXPECT_TRUE(XSupports<IProbe>(Controller.get(), Probe));

    auto Plain = MakeOwned<TObject>();
    IPtr<IXThreadable> Threadable;
    EXPECT_FALSE(XSupports<IXThreadable>(Plain.get(), Threadable));
    EXPECT_FALSE(Threadable);
}

TEST(XInterfaces, GenericInterfacesGetOneGuidPerInstance)
{
    EXPECT_NE(IXContentProvider<int>::IID, IXContentProvider<double>::IID);
    EXPECT_EQ(IXContentProvider<int>::IID, IXContentProvider<int>::IID);
    EXPECT_NE(IXObjectConverter<int>::IID, IXContentProvider<int>::IID);

    static int Freed = 0;
    class TContent : public TObject {
    public:
        ~TContent() override { ++Freed; }
    };
    {
        IPtr<IXContentProvider<TContent*>> Provider(New<TXManagedObjectContainer<TContent>>(New<TContent>()));
        EXPECT_NE(Provider->GetContent(), nullptr);
        EXPECT_EQ(Freed, 0);
    }
    EXPECT_EQ(Freed, 1);
}

TEST(XInterfaces, MakeUniqueComponentName)
{
    auto Owner = MakeOwned<TComponent>(nullptr);
    New<TComponent>(Owner.get())->SetName(u"Frame");
    New<TComponent>(Owner.get())->SetName(u"frame1");
    auto* Fresh = New<TComponent>(Owner.get());

    struct Case {
        const char16_t* Base;
        const char16_t* Expected;
    };
    for (Case C : { Case { u"Frame", u"Frame2" }, Case { u"Form", u"Form" }, Case { u"FRAME", u"FRAME2" } }) {
        String Name;
        MakeUniqueComponentName(Fresh, C.Base, Name);
        EXPECT_EQ(Name, C.Expected);
    }
    // Its own name is no clash; without an owner every name is free.
    Fresh->SetName(u"Frame2");
    String Name;
    MakeUniqueComponentName(Fresh, u"Frame2", Name);
    EXPECT_EQ(Name, u"Frame2");
    auto Lone = MakeOwned<TComponent>(nullptr);
    MakeUniqueComponentName(Lone.get(), u"Frame", Name);
    EXPECT_EQ(Name, u"Frame");
}

TEST(XInterfaces, MakeUniqueComponentNameGivesUpOnAValidatorThatRefusesAll)
{
    class TStrict : public TComponent {
    public:
        void ValidateRename(TComponent*, const String&, const String&) override { throw EComponentError(u"never"); }
    };
    auto Strict = MakeOwned<TStrict>(nullptr);
    String Name;
    EXPECT_THROW(MakeUniqueComponentName(Strict.get(), u"X", Name), EComponentError);
}

// ---- properties by name ----

namespace {


class TPropProbe : public TXManagedPersistent {
    X_CLASS(TPropProbe, TXManagedPersistent)
public:
    const String& Caption() const { return FCaption; }
    void SetCaption(const String& V) { FCaption = V; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer V) { FWidth = V; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool V) { FVisible = V; }

private:
    String FCaption;
    Integer FWidth = 0;
    bool FVisible = false;
};
X_REGISTER_CLASS(TPropProbe)
X_PUBLISHED(TPropProbe)
{
    X_PROP(Caption, Caption, SetCaption);
    X_PROP(Width, Width, SetWidth);
    X_PROP(Visible, Visible, SetVisible);
}

TEST(XPropsByName, ReadAndWriteAsText)
{
    TPropProbe* P = NewManaged<TPropProbe>(0);
    EXPECT_EQ(P->CountMode(), 0);
    String Text;
    EXPECT_TRUE(SetPropText(P, u"Width", u"42"));
    EXPECT_TRUE(GetPropText(P, u"Width", Text));
    EXPECT_EQ(U8(Text), "42");
    EXPECT_TRUE(SetPropText(P, u"Caption", u"A&B"));
    EXPECT_EQ(U8(P->Caption()), "A&B");
    bool Visible = false;
    EXPECT_TRUE(SetPropText(P, u"Visible", u"True"));
    EXPECT_TRUE(GetPropBool(P, u"Visible", Visible));
    EXPECT_TRUE(Visible);
    // Unknown names and bad text answer false; nothing raises.
    EXPECT_FALSE(GetPropText(P, u"Missing", Text));
    EXPECT_TRUE(Text.empty());
    EXPECT_FALSE(SetPropText(P, u"Width", u"wide"));
    EXPECT_EQ(P->Width(), 42);
    EXPECT_FALSE(GetPropText(nullptr, u"Width", Text));
    P->Free();
}

}
