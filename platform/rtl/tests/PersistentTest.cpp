#include "rtl/Component.h"
#include "rtl/Persistent.h"
#include <gtest/gtest.h>

namespace {

class TPoint2 : public TPersistent {
    X_CLASS(TPoint2, TPersistent)
public:
    int X = 0;
    void Assign(TPersistent* Source) override
    {
        if (auto* P = DynamicCast<TPoint2>(Source))
            X = P->X;
        else
            inherited::Assign(Source);
    }
};

// Knows how to copy itself into a TPoint2, which does not know it.
class TExporter : public TPersistent {
    X_CLASS(TExporter, TPersistent)
public:
    int Value = 42;
    void AssignTo(TPersistent* Dest) override
    {
        if (auto* P = DynamicCast<TPoint2>(Dest))
            P->X = Value;
        else
            inherited::AssignTo(Dest);
    }
};

}
X_REGISTER_CLASS(TPoint2)
X_REGISTER_CLASS(TExporter)

TEST(Persistent, AssignAsksTheSourceAndReportsWhatNeitherSideKnows)
{
    auto Point = MakeOwned<TPoint2>();
    auto Exporter = MakeOwned<TExporter>();
    auto Plain = MakeOwned<TPersistent>();

    Point->Assign(Exporter.get());
    EXPECT_EQ(Point->X, 42);

    struct Case {
        TPersistent* Dest;
        TPersistent* Source;
        const char16_t* Message;
    };
    const Case Cases[] = {
        { Point.get(), nullptr, u"Cannot assign a nil to a TPoint2" },
        { Point.get(), Plain.get(), u"Cannot assign a TPersistent to a TPoint2" },
        { Exporter.get(), Point.get(), u"Cannot assign a TPoint2 to a TExporter" },
        { Plain.get(), nullptr, u"Cannot assign a nil to a TPersistent" },
    };
    for (const Case& C : Cases) {
        try {
            C.Dest->Assign(C.Source);
            ADD_FAILURE() << "no error for " << StringToUTF8(C.Message);
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.Message(), C.Message);
        }
    }
}

TEST(Persistent, InterfacedPersistentCountsOnlyThroughItsOwner)
{
    class TOwnedPart : public TInterfacedPersistent {
    public:
        TPersistent* Owner = nullptr;
        TPersistent* GetOwner() override { return Owner; }
    };
    auto Alone = MakeOwned<TOwnedPart>();
    EXPECT_EQ(Alone->_AddRef(), -1);
    EXPECT_EQ(Alone->_Release(), -1);

    // A component owner answers IInterface and counts nothing either; the
    // call must reach it and come back without freeing anything.
    auto Owner = MakeOwned<TComponent>(nullptr);
    auto* Part = new TOwnedPart;
    Part->Owner = Owner.get();
    Construct(Part);
    EXPECT_EQ(Part->_Release(), -1);
    EXPECT_EQ(Part->GetNamePath(), u"TInterfacedPersistent");
    Part->Free();
}
