#include "FormsTestSupport.h"
#include "forms/XSpark.VCL.Content.h"

using namespace FormsTests;

namespace {

// Content: a counted object with a kind and a natural size.
class TProbeContent : public TInterfacedObject {
public:
    TProbeContent(Integer AKind, TSize ASize) : Kind(AKind), Natural(ASize) { }
    Integer Kind;
    TSize Natural;
};

TProbeContent* Of(IInterface* Content)
{
    return dynamic_cast<TProbeContent*>(Content);
}

std::vector<std::string> Asked;

// Shows kinds 1 and 2, but makes nothing for kind 2.
class TFirstFrame : public TXContentFrame {
    X_CLASS_TEMPLATE(TFirstFrame, TXContentFrame, u"TFirstFrame")
public:
    static bool CanShow(IInterface* Content)
    {
        Asked.push_back("first");
        return Of(Content) && Of(Content)->Kind <= 2;
    }
    static TControl* CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size)
    {
        if (Of(Content)->Kind == 2)
            return nullptr;
        Size = Of(Content)->Natural;
        return New<TFirstFrame>(Host->GetContentForm());
    }
};

// Shows every kind.
class TSecondFrame : public TXContentFrame {
    X_CLASS_TEMPLATE(TSecondFrame, TXContentFrame, u"TSecondFrame")
public:
    static bool CanShow(IInterface* Content)
    {
        Asked.push_back("second");
        return true;
    }
    static TControl* CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size)
    {
        Size = Of(Content)->Natural;
        return New<TSecondFrame>(Host->GetContentForm());
    }
};

class Content : public TSkinnedFixture { };

}

TEST_F(Content, FactoryOrderNilAnswersAndDuplicates)
{
    const Integer First = RegisterContentFrameClass<TFirstFrame>();
    const Integer Second = RegisterContentFrameClass<TSecondFrame>();
    EXPECT_EQ(RegisterContentFrameClass<TFirstFrame>(), First);
    EXPECT_EQ(Second, First + 1);
    EXPECT_EQ(ContentFrameClassCount(), Second + 1);
    EXPECT_THROW(ContentFrameClass(ContentFrameClassCount()), EArgumentOutOfRangeException);

    auto* Float = New<TXContentFloat>(nullptr);
    Float->SetBorderWidth(3);
    struct TCase {
        Integer Kind;
        TClass Expected;
    };
    for (const TCase& C : { TCase { 1, TFirstFrame::StaticClass() }, TCase { 2, TSecondFrame::StaticClass() },
             TCase { 3, TSecondFrame::StaticClass() } }) {
        SCOPED_TRACE(C.Kind);
        // Built as New builds it: the count starts at 0, so the last
        // reference frees it.
        auto* Probe = new TProbeContent(C.Kind, { 120, 80 });
        Probe->AfterConstruction();
        IPtr<IInterface> Item(Probe);
        Float->ShowContent(Item.Get());
        ASSERT_NE(Float->ContentControl(), nullptr);
        EXPECT_EQ(Float->ContentControl()->ClassType(), C.Expected);
        // A border of 3 makes the form 6 pixels wider and higher.
        EXPECT_EQ(Float->GetContentForm()->Width(), 126);
        EXPECT_EQ(Float->GetContentForm()->Height(), 86);
        EXPECT_TRUE(Float->GetContentForm()->Visible());
    }
    Float->HideContent(true);
    EXPECT_EQ(Float->ContentControl(), nullptr);
    EXPECT_FALSE(Float->GetContentForm()->Visible());
    // Its form freed first: the float forgets it.
    Float->GetContentForm()->Free();
    EXPECT_EQ(Float->GetContentForm(), nullptr);
    Float->Free();
    Pump();
}

TEST_F(Content, Placement)
{
    auto* Float = New<TXContentFloat>(nullptr);
    struct TCase {
        const char* Name;
        TXContentPosition Position;
        TSize Box;
        TSize Natural;
        TSize Size;
        TSize NewBox;
    };
    const TCase Cases[] = {
        { "auto size", cpAutoSize, { 50, 50 }, { 120, 80 }, { 120, 80 }, { 120, 80 } },
        { "centre, fits", cpCenter, { 200, 200 }, { 120, 80 }, { 120, 80 }, { 200, 200 } },
        { "centre, too large", cpCenter, { 60, 60 }, { 120, 80 }, { 60, 40 }, { 60, 60 } },
        { "best fit", cpBestFit, { 240, 240 }, { 120, 80 }, { 240, 160 }, { 240, 240 } },
        { "stretch", cpStretch, { 33, 44 }, { 120, 80 }, { 33, 44 }, { 33, 44 } },
        { "fit width", cpFitWidth, { 60, 999 }, { 120, 80 }, { 60, 40 }, { 60, 40 } },
        { "fit width, zero width", cpFitWidth, { 60, 999 }, { 0, 80 }, { 0, 0 }, { 0, 0 } },
        { "fit height", cpFitHeight, { 999, 40 }, { 120, 80 }, { 60, 40 }, { 60, 40 } },
        { "fit height, zero height", cpFitHeight, { 999, 40 }, { 120, 0 }, { 0, 0 }, { 0, 0 } },
        // Products beyond 32 bits.
        { "fit width, large", cpFitWidth, { 100000, 1 }, { 3, 100000 }, { 100000, 2147483647 },
            { 100000, 2147483647 } },
        { "fit height, large", cpFitHeight, { 1, 60000 }, { 50000, 2 }, { 1500000000, 60000 },
            { 1500000000, 60000 } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Float->ContentPlacement()->SetPosition(C.Position);
        Float->ContentPlacement()->SetWidth(C.Box.cx);
        Float->ContentPlacement()->SetHeight(C.Box.cy);
        TSize Size, Box;
        CalcContentPlacement(Float, C.Natural, Size, Box);
        EXPECT_EQ(Size, C.Size);
        EXPECT_EQ(Box, C.NewBox);
    }
    Float->Free();
}
