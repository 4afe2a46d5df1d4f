#include "vcl/tests/ControlTestSupport.h"
#include "graphics/tests/ScopedDpi.h"
#include "core/XCore.App.h"
#include "core/XCore.ScreenMetrics.h"
#include "graphics/XSpark.VCL.Labels.h"
#include "ScopedDpi.h"
#include "win/Metrics.h"
#include "win/ShellExecute.h"
#include <filesystem>

using namespace ControlTests;
namespace fs = std::filesystem;

namespace {

// A factory that makes nothing but moves the cursor.
class TSkipFactory : public TXComposableControl {
    X_CLASS_TEMPLATE(TSkipFactory, TXComposableControl, u"TSkipFactory")
protected:
    TControl* CreateControl(IXComposer*, TWinControl*, TPoint& Cursor, const String&) override
    {
        Cursor.X += 33;
        return nullptr;
    }
};

class TActionLog : public TObject {
public:
    std::vector<Integer> Got;
    void On(IXNotification* N) { Got.push_back(static_cast<TXActionAspect*>(N->GetAspect())->ActionID); }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TActionLog::On>(this); }
};

class Composer : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Panel = Add<TProbePanel>(Form, { 0, 0, 300, 50 }, clWhite);
        C = New<TXComposer>(Form);
    }
    IPtr<IXComposableControlFactory> Label(const String& Text)
    {
        return IPtr<IXComposableControlFactory>(New<TXComposableLabel>(Text));
    }
    TProbePanel* Panel = nullptr;
    TXComposer* C = nullptr;
};

}

TEST_F(Composer, NewLinesAdvanceByTheirSpacingAtTheScreensDpi)
{
    struct TCase {
        Integer Dpi;
        Integer Line, Tiny, Small, Medium, Large;
    };
    const TCase Cases[] = {
        { 96, 15, 1, 5, 8, 20 },
        { 120, 19, 1, 6, 10, 25 },
        { 144, 23, 2, 8, 12, 30 }, // 22.5 rounds away from zero
    };
    using TStep = IXComposer* (IXComposer::*)();
    for (const TCase& T : Cases) {
        SCOPED_TRACE(T.Dpi);
        TScopedDpi Dpi(T.Dpi);
        const std::pair<TStep, Integer> Steps[] = { { &IXComposer::NewLine, T.Line },
            { &IXComposer::NewLineTiny, T.Tiny }, { &IXComposer::NewLineSmall, T.Small },
            { &IXComposer::NewLineMedium, T.Medium }, { &IXComposer::NewLineLarge, T.Large } };
        for (const auto& [Step, Offset] : Steps) {
            C->BeginCompose(Panel, { 10, 40 }, 1);
            C->NewLineBy(7);
            (static_cast<IXComposer*>(C)->*Step)();
            EXPECT_EQ(C->Cursor(), TPoint({ 10, 47 + Offset }));
        }
    }
    // NewLineBy(0) only goes back to the origin's X.
    C->BeginCompose(Panel, { 10, 40 }, 0);
    IPtr<IXComposableControlFactory> Skip(New<TSkipFactory>());
    C->Add(Skip.Get())->NewLineBy(0);
    EXPECT_EQ(C->Cursor(), TPoint({ 10, 40 }));
}

TEST_F(Composer, AddPlacesControlsAlongTheLineAndOwnsThemUntilTheNextBegin)
{
    IPtr<IXComposableControlFactory> Skip(New<TSkipFactory>());
    EXPECT_FALSE(C->BeginCompose(Panel, { 10, 20 }, 0));
    C->Add(nullptr); // nothing at all
    EXPECT_EQ(C->Cursor(), TPoint({ 10, 20 }));
    C->Add(Skip.Get());
    EXPECT_EQ(C->Cursor(), TPoint({ 43, 20 }));
    EXPECT_EQ(C->ComposedControls()->Count(), 0);
    auto First = Label(u"First");
    auto Second = Label(u"Second");
    C->SetStyle(u"Windows")->Add(First.Get())->Add(Second.Get());
    ASSERT_EQ(C->ComposedControls()->Count(), 2);
    auto* A = static_cast<TXLabel*>(C->ComposedControls()->Items(0));
    auto* B = static_cast<TXLabel*>(C->ComposedControls()->Items(1));
    EXPECT_EQ(A->Caption(), u"First ");
    EXPECT_EQ(A->ControlSkin()->SkinName(), u"Windows");
    EXPECT_EQ(A->Parent(), Panel);
    EXPECT_EQ(A->BoundsRect().Left, 43);
    EXPECT_EQ(A->Top(), 25); // five pixels below the line, unscaled
    EXPECT_EQ(B->Left(), A->Left() + A->Width());
    EXPECT_EQ(C->GetMaxX(), B->Left() + B->Width());
    C->NewLine();
    EXPECT_EQ(C->GetMaxX(), B->Left() + B->Width()); // the widest stays

    // Scaled: five pixels at 144 DPI are eight.
    {
        TScopedDpi Dpi(144);
        EXPECT_TRUE(C->BeginCompose(Panel, { 0, 0 }, 1));
        EXPECT_EQ(C->ComposedControls()->Count(), 0);
        EXPECT_EQ(Panel->ControlCount(), 0); // the last begin's controls went
        C->Add(First.Get());
        EXPECT_EQ(C->ComposedControls()->Items(0) ? static_cast<TControl*>(C->ComposedControls()->Items(0))->Top() : -1,
            8);
    }
    // A composer without a container makes nothing.
    auto* Free = New<TXComposer>(nullptr);
    Free->Add(First.Get());
    EXPECT_EQ(Free->ComposedControls()->Count(), 0);
    Free->Free();
    // Controls freed with their container leave the list (no second free).
    Panel->Free();
    EXPECT_EQ(C->ComposedControls()->Count(), 0);
}

TEST_F(Composer, EndComposeSizesTheFirstFixedControlAddingTheTopsOfClientAlignedOnes)
{
    // Outer > [Header1 (top, 10)] Mid (client) > [Header2 (top, 7)] Inner (client)
    auto* Outer = Add<TProbePanel>(Form, { 0, 0, 200, 100 }, clWhite);
    auto* Header1 = Add<TProbePanel>(Outer, { 0, 0, 200, 10 }, clWhite);
    Header1->SetAlign(alTop);
    auto* Mid = Add<TProbePanel>(Outer, { 0, 0, 50, 50 }, clWhite);
    Mid->SetAlign(alClient);
    auto* Header2 = Add<TProbePanel>(Mid, { 0, 0, 200, 7 }, clWhite);
    Header2->SetAlign(alTop);
    auto* Inner = Add<TProbePanel>(Mid, { 0, 0, 50, 50 }, clWhite);
    Inner->SetAlign(alClient);
    ASSERT_EQ(Mid->Top(), 10);
    ASSERT_EQ(Inner->Top(), 7);
    auto* Fixed = Add<TProbePanel>(Form, { 250, 0, 300, 100 }, clWhite);

    struct TCase {
        const char* Name;
        TWinControl* Container;
        TControl* Sized;
        Integer Height;
    };
    const TCase Cases[] = {
        { "a fixed container", Fixed, Fixed, 60 },
        { "through two client-aligned parents", Inner, Outer, 60 + 7 + 10 },
        { "through one", Mid, Outer, 60 + 10 },
    };
    for (const TCase& T : Cases) {
        SCOPED_TRACE(T.Name);
        C->BeginCompose(T.Container, { 0, 0 }, 0);
        C->NewLineBy(60)->EndCompose();
        EXPECT_EQ(T.Sized->ClientHeight(), T.Height);
    }
    // All client-aligned up to the top: nothing is sized.
    auto* Loose = New<TProbePanel>(Form);
    Loose->SetBounds(0, 0, 40, 40);
    Loose->SetAlign(alClient);
    C->BeginCompose(Loose, { 0, 0 }, 0);
    C->NewLineBy(60)->EndCompose();
    EXPECT_EQ(Loose->Height(), 40);
}

TEST_F(Composer, ComposedLabelsLinksAndDividers)
{
    IPtr<IXComposableControlFactory> Lines(New<TXComposableLabels>(u"one\ntwo", SharedFonts(3)));
    IPtr<IXComposableControlFactory> Link(New<TXComposableLinkLabel>(u"home", u"https://example.com/", 4));
    IPtr<IXComposableControlFactory> Divider(New<TXComposableDividerLabel>(u"Part", 150));
    C->BeginCompose(Panel, { 10, 10 }, 0);
    C->Add(Lines.Get());
    EXPECT_EQ(C->Cursor().Y, 25); // one composer line between the two
    C->Add(Link.Get())->NewLine()->Add(Divider.Get());
    ASSERT_EQ(C->ComposedControls()->Count(), 4);
    auto* One = static_cast<TXLabel*>(C->ComposedControls()->Items(0));
    auto* Two = static_cast<TXLabel*>(C->ComposedControls()->Items(1));
    auto* L = static_cast<TXLinkLabel*>(C->ComposedControls()->Items(2));
    auto* D = static_cast<TXDividerLabel*>(C->ComposedControls()->Items(3));
    EXPECT_EQ(One->Caption(), u"one ");
    EXPECT_EQ(Two->Caption(), u"two ");
    EXPECT_EQ(One->Left(), 10);
    EXPECT_EQ(Two->Left(), 10);
    EXPECT_EQ(Two->Top() - One->Top(), 15);
    EXPECT_TRUE(One->Font()->Style() & StyleBit(fsBold));
    EXPECT_EQ(L->Link(), u"https://example.com/");
    EXPECT_EQ(L->ActionCode(), 4);
    EXPECT_EQ(L->Cursor(), crHandPoint);
    EXPECT_EQ(L->Left(), Two->Left() + Two->Width());
    EXPECT_EQ(D->Width(), 150);
    EXPECT_FALSE(D->AutoSize());
}

namespace {

class LinkLabels : public TFormFixture {
protected:
    void SetUp() override
    {
        TFormFixture::SetUp();
        Link = New<TXLinkLabel>(Form);
        Link->SetParent(Form);
        Link->SetCaption(u"link");
        Link->OnClick = [this](TObject*) { ++Clicks; };
        GetAppEngine()->Subscribe(TXActionAspect::StaticClass(), Log.Handler());
    }
    void TearDown() override
    {
        GetAppEngine()->UnsubscribeMethod(Log.Handler());
        TFormFixture::TearDown();
    }
    Testing::TTempFolder Bin;
    Testing::TTempFolder Work;
    Testing::TRecorder Opener { Bin / "xdg-open", Work / "record" };
    Testing::TScopedEnv Path { "PATH", Bin.Path().string() + ":" + std::getenv("PATH") };
    TXLinkLabel* Link = nullptr;
    TActionLog Log;
    Integer Clicks = 0;
};

}

TEST_F(LinkLabels, AClickOpensTheLinkAsOneArgumentOrPostsTheAction)
{
    // A program named as a link is opened by xdg-open, never run.
    const fs::path Program = Work / "run.sh";
    Testing::WriteFileBytes(Program, { '#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n', 't', 'o', 'u', 'c', 'h', ' ',
                                         'r', 'a', 'n', '\n' });
    fs::permissions(Program, fs::perms::owner_all);
    struct TCase {
        const char* Name;
        String Link;
        Integer Action;
        std::string Opened; // empty: nothing opened
        std::vector<Integer> Actions;
    };
    const TCase Cases[] = {
        { "a mail address", u"ann@example.com", 0, "mailto:ann@example.com", {} },
        { "a web address", u"https://example.com/?q=$(touch x)", 0, "https://example.com/?q=$(touch x)", {} },
        { "both set: only the link", u"https://example.com/", 9, "https://example.com/", {} },
        { "an action alone", u"", 9, "", { 9 } },
        { "a program", S(Program.string()), 0, Program.string(), {} },
        { "neither", u"", 0, "", {} },
    };
    for (const TCase& T : Cases) {
        SCOPED_TRACE(T.Name);
        const size_t Before = Opener.Runs().size();
        Log.Got.clear();
        Clicks = 0;
        Link->SetLink(T.Link);
        Link->SetActionCode(T.Action);
        Link->Click();
        Pump();
        WaitForStartedPrograms();
        const auto Runs = Opener.Runs();
        if (T.Opened.empty()) {
            EXPECT_EQ(Runs.size(), Before);
        } else {
            ASSERT_EQ(Runs.size(), Before + 1);
            EXPECT_EQ(Runs.back(), Testing::TRecorder::TArgs { T.Opened });
        }
        EXPECT_EQ(Log.Got, T.Actions);
        EXPECT_EQ(Clicks, 1);
    }
    EXPECT_FALSE(fs::exists(fs::current_path() / "ran"));
    EXPECT_FALSE(fs::exists(Work / "ran"));
}

TEST_F(LinkLabels, TheLinkFontIsUnderlinedUnderTheMouseAndAClickMayFreeTheLabel)
{
    Link->SetBounds(20, 20, 60, 20);
    Form->Show();
    Pump();
    EXPECT_EQ(Link->Font()->Color(), SharedFonts(6)->Color());
    EXPECT_FALSE(Link->Font()->Style() & StyleBit(fsUnderline));
    Move({ 25, 25 });
    EXPECT_TRUE(Link->Hot());
    EXPECT_TRUE(Link->Font()->Style() & StyleBit(fsUnderline));
    Move({ 200, 200 });
    EXPECT_FALSE(Link->Font()->Style() & StyleBit(fsUnderline));
    // An action whose handler frees the label, then OnClick is not run.
    Link->SetActionCode(3);
    GetAppEngine()->UnsubscribeMethod(Log.Handler());
    struct TFreer : TObject {
        TXLinkLabel** Target;
        void On(IXNotification*) { FreeAndNil(*Target); }
    } Freer;
    Freer.Target = &Link;
    const auto Handler = TXNotificationHandler::Of<&TFreer::On>(&Freer);
    GetAppEngine()->Subscribe(TXActionAspect::StaticClass(), Handler);
    Click({ 25, 25 });
    Pump();
    GetAppEngine()->UnsubscribeMethod(Handler);
    EXPECT_EQ(Link, nullptr);
    EXPECT_EQ(Clicks, 1); // the click ran before the posted action arrived
}

class FrameworkLabels : public TFormFixture { };

TEST_F(FrameworkLabels, AutoSizesVerticalAutoSizeAndTheDividerLine)
{
    auto* L = New<TXLabel>(Form);
    L->SetParent(Form);
    L->SetAutoSize(false);
    L->SetBounds(10, 10, 80, 10);
    L->SetWordWrap(true);
    L->SetCaption(u"several words that need more than one line here");
    L->SetVerticalAutoSize(true);
    const Integer Line = L->Font()->Metrics().Height();
    EXPECT_EQ(L->Width(), 80);
    EXPECT_GE(L->Height(), 3 * Line);
    const Integer Tall = L->Height();
    L->SetCaption(u"short");
    EXPECT_EQ(L->Height(), Line);
    EXPECT_LT(L->Height(), Tall);
    EXPECT_EQ(L->Width(), 80);

    auto* R = New<TXLabel>(Form);
    R->SetParent(Form);
    R->SetAlignment(taRightJustify);
    R->SetBounds(100, 40, 200, 20);
    R->SetCaption(u"a long right-justified caption");
    const Integer Right = R->Left() + R->Width();
    R->SetCaption(u"short");
    EXPECT_EQ(R->Left() + R->Width(), Right);

    // Dividers: without a caption across the whole width at half the
    // height; with one from six pixels past the text.
    Form->SetColor(clBtnFace);
    auto* Empty = New<TXDividerLabel>(Form);
    Empty->SetParent(Form);
    Empty->SetBounds(10, 100, 200, 20);
    auto* Titled = New<TXDividerLabel>(Form);
    Titled->SetParent(Form);
    Titled->SetBounds(10, 140, 200, 20);
    Titled->SetCaption(u"Title");
    Form->Show();
    Pump();
    const TColor Face = ColorToRGB(clBtnFace);
    auto LineAt = [&](Integer X, Integer Top) {
        for (Integer Y = Top; Y < Top + 20; ++Y)
            if (PixelAt({ X, Y }) != Face)
                return Y - Top;
        return -1;
    };
    EXPECT_EQ(LineAt(11, 100), 9);
    EXPECT_EQ(LineAt(208, 100), 9);
    TOwnedPtr<TCanvas> Measure(MakeOwned<TCanvas>());
    Measure->SetFont(Titled->Font());
    const Integer TextRight = 10 + Measure->TextWidth(u"Title");
    EXPECT_EQ(LineAt(TextRight + 3, 140), -1);
    EXPECT_GE(LineAt(TextRight + 8, 140), 0);
    EXPECT_GE(LineAt(208, 140), 0);
}

TEST_F(FrameworkLabels, GalleryOfComposedLabelsLinksAndDividersAt96And144Dpi)
{
    for (Integer DpiValue : { 96, 144 }) {
        TScopedDpi Dpi(DpiValue);
        ::Screen->SetPixelsPerInch(DpiValue);
        InitSharedFonts();
        auto* Host = New<TForm>(nullptr);
        Host->SetColor(clBtnFace);
        Host->SetFont(SharedFonts(0));
        Host->SetBounds(50, 50, MulDiv(360, DpiValue, 96), MulDiv(200, DpiValue, 96));
        auto* Panel = New<TProbePanel>(Host);
        Panel->SetColor(clBtnFace);
        Panel->SetParent(Host);
        Panel->SetBounds(0, 0, Host->Width(), 10);
        auto* C = New<TXComposer>(Host);
        C->BeginCompose(Panel, { ScaledSizes[10], ScaledSizes[10] }, 1);
        IPtr<IXComposableControlFactory> Divider(
            New<TXComposableDividerLabel>(u"About", MulDiv(330, DpiValue, 96)));
        IPtr<IXComposableControlFactory> Title(New<TXComposableLabel>(u"Lumenova", SharedFonts(5)));
        IPtr<IXComposableControlFactory> Text(New<TXComposableLabels>(u"A wallpaper calendar.\nVersion 9.1"));
        IPtr<IXComposableControlFactory> Web(New<TXComposableLinkLabel>(u"Home page", u"https://example.com/", 0));
        IPtr<IXComposableControlFactory> Mail(New<TXComposableLinkLabel>(u"Write to us", u"ann@example.com", 0));
        IPtr<IXComposableControlFactory> Empty(New<TXComposableDividerLabel>(u"", MulDiv(330, DpiValue, 96)));
        C->Add(Divider.Get())->NewLine()->NewLineSmall()->Add(Title.Get())->NewLine()->NewLineMedium();
        C->Add(Text.Get())->NewLine()->Add(Web.Get())->Add(Mail.Get())->NewLine()->Add(Empty.Get());
        C->NewLineLarge()->EndCompose();
        EXPECT_EQ(Panel->ClientHeight(), C->Cursor().Y);
        Host->Show();
        Pump();
        SavePicture(Host->Handle(), "composed-labels-" + std::to_string(DpiValue) + ".png");
        Host->Free();
        Pump();
    }
    ::Screen->SetPixelsPerInch(96);
    InitSharedFonts();
}
