// Pictures for a person to look at, one PNG each under the build tree's
// test-pictures: the combo box dropped down with languages, native
// language names, the combo box before and after the focus left, the sorted
// list view with its arrow, the checked tree with node pictures, the two
// dividers and the shared fonts. Each also checks what it can.
#include "vcl/tests/ControlTestSupport.h"
#include "core/XCore.Filers.h"
#include "core/XSpark.AppWizard.h"
#include "core/XSpark.Lg.English.h"
#include "core/XSpark.Lg.Filers.h"
#include "graphics/XSpark.Skin.h"
#include "graphics/XSpark.VCL.Lists.h"
#include "graphics/XSpark.VCL.h"
#include "rtl/StrUtils.h"

using namespace ControlTests;

namespace {

void SaveBitmap(TBitmap* Bmp, const std::string& Name)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp);
    Png->SaveToFile(S(Testing::TestPicturePath(Name).string()));
}

TOwnedPtr<TBitmap> WindowPicture(HWND Wnd)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    EXPECT_TRUE(GetWindowBitmap(Wnd, Bmp.get()));
    return Bmp;
}

// Arrow images 0 (up) and 1 (down) for column headers.
void AddArrows(TImageList* Images)
{
    Images->SetSize(12, 12);
    for (bool Up : { true, false }) {
        TOwnedPtr<TBitmap> Bmp(New<TBitmap>());
        Bmp->SetSize(12, 12);
        TCanvas* C = Bmp->Canvas();
        C->Brush()->SetColor(clWhite);
        C->FillRect({ 0, 0, 12, 12 });
        C->Brush()->SetColor(0x404040);
        C->Pen()->SetColor(0x404040);
        const TPoint UpArrow[] = { { 6, 2 }, { 11, 9 }, { 1, 9 } };
        const TPoint DownArrow[] = { { 1, 3 }, { 11, 3 }, { 6, 10 } };
        C->Polygon(Up ? std::span<const TPoint>(UpArrow) : std::span<const TPoint>(DownArrow));
        // The mask: black where the arrow is opaque, white where it is clear.
        TOwnedPtr<TBitmap> Mask(New<TBitmap>());
        Mask->SetSize(12, 12);
        Mask->Canvas()->Brush()->SetColor(clWhite);
        Mask->Canvas()->FillRect({ 0, 0, 12, 12 });
        Mask->Canvas()->Brush()->SetColor(clBlack);
        Mask->Canvas()->Pen()->SetColor(clBlack);
        Mask->Canvas()->Polygon(Up ? std::span<const TPoint>(UpArrow) : std::span<const TPoint>(DownArrow));
        Images->Add(Bmp.get(), Mask.get());
    }
}

// A language file of the desktop program's identity whose greeting
// (word 0x80000100) names it.
TOwnedPtr<TMemoryStream> GalleryLanguage(const String& Name, Cardinal LgID)
{
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetName(Name);
    Project->SetLgID(LgID);
    Project->SetAppID(6001);
    Project->SetAppVer(600);
    const UTF8String Words = MakeWordTableText({ { 1, IntToStr(Integer(LgID)) }, { 0x80000100u, u"Hello " + Name } });
    Project->Words()->WriteBuffer(Words.data(), Int64(Words.size()));
    TOwnedPtr<TMemoryStream> Stream(New<TMemoryStream>());
    EXPECT_TRUE(FilerSaveToStream(Stream.get(), TXLgFiler::StaticClass(), Project.get(), false, nullptr));
    return Stream;
}

struct TGalleryRecaptions {
    Integer Count = 0;
    void Recaption() { ++Count; }
};

class XSparkGallery : public TFormFixture {
protected:
    TXComboBox* AddBox(Integer Top)
    {
        auto* Box = New<TXComboBox>(Form);
        Box->SetParent(Form);
        Box->SetBounds(20, Top, 200, 24);
        return Box;
    }
    // The form's picture with Box's dropped-down list drawn where it shows.
    TOwnedPtr<TBitmap> FormWithList(TXComboBox* Box)
    {
        RECT ListRect;
        GetWindowRect(Box->ListHandle(), &ListRect);
        TOwnedPtr<TBitmap> Sheet = WindowPicture(Form->Handle());
        TOwnedPtr<TBitmap> List = WindowPicture(Box->ListHandle());
        Sheet->Canvas()->Draw(ListRect.left - Form->Left(), ListRect.top - Form->Top(), List.get());
        return Sheet;
    }
};

TEST_F(XSparkGallery, TheComboBoxDroppedDownWithLanguages)
{
    Form->SetBounds(100, 100, 260, 220);
    Form->SetColor(clBtnFace);
    auto* Box = AddBox(20);
    Box->SetLangCaptionKind(2); // ISO names: the locale table's six languages
    for (Cardinal Id : { 0x0409u, 0x0809u, 0x0407u, 0x0807u, 0x040Cu, 0x0411u, 0x0407u })
        Box->AddLanguage(Id);
    EXPECT_EQ(Box->Items()->Count(), 6);
    Box->SetDropDownCount(6);
    Box->SetItemIndex(2);
    Form->Show();
    Pump();
    Box->SetDroppedDown(true);
    Pump();
    ASSERT_TRUE(Box->ListHandle());
    // Put the pointer on the fourth item so it is the selected one.
    RECT ListRect;
    GetWindowRect(Box->ListHandle(), &ListRect);
    PostInput(TInputEvent::Move({ ListRect.left + 30, ListRect.top + Box->ItemHeight() * 3 + 4 }));
    Pump();

    TOwnedPtr<TBitmap> Sheet = FormWithList(Box);
    const Integer X = ListRect.left - Form->Left(), Y = ListRect.top - Form->Top();
    // The selected item is painted in the highlight colour.
    const TColor Highlight = ColorToRGB(clHighlight);
    EXPECT_EQ(Sheet->Pixel(X + (ListRect.right - ListRect.left) / 3, Y + Box->ItemHeight() * 3 + 2) & 0xFFFFFF,
        Highlight);
    SaveBitmap(Sheet.get(), "gallery-combo-dropped-down.png");
    Box->SetDroppedDown(false);
}

TEST_F(XSparkGallery, NativeLanguageNamesInTheirOwnScripts)
{
    Form->SetBounds(100, 100, 260, 220);
    Form->SetColor(clBtnFace);
    auto* Box = AddBox(20);
    Box->SetLangCaptionKind(4); // native names
    // 0x0436 is no locale of the table: it gets no row.
    for (Cardinal Id : { 0x0411u, 0x0407u, 0x040Cu, 0x0409u, 0x0436u })
        Box->AddLanguage(Id);
    ASSERT_EQ(Box->Items()->Count(), 4);
    EXPECT_EQ(Box->Items()->Strings(0), u"\u65e5\u672c\u8a9e");
    Box->SetItemIndex(0);
    Form->Show();
    Pump();
    Box->SetDroppedDown(true);
    Pump();
    ASSERT_TRUE(Box->ListHandle());
    SaveBitmap(FormWithList(Box).get(), "gallery-native-language-names.png");
    Box->SetDroppedDown(false);
}

TEST_F(XSparkGallery, TheComboBoxBeforeAndAfterTheFocusLeft)
{
    Form->SetBounds(100, 100, 260, 90);
    Form->SetColor(clBtnFace);
    auto* Box = AddBox(20);
    Box->SetLangCaptionKind(3);
    Box->AddLanguage(0x0407);
    Box->SetItemIndex(0);
    auto* Next = AddBox(54);
    Form->Show();
    Box->SetFocus();
    Pump();
    TOwnedPtr<TBitmap> Focused = WindowPicture(Form->Handle());
    PostInput(TInputEvent::KeyEvent(VK_TAB, true, U'\t'));
    PostInput(TInputEvent::KeyEvent(VK_TAB, false));
    Pump();
    ASSERT_TRUE(Next->Focused());
    TOwnedPtr<TBitmap> Left = WindowPicture(Form->Handle());
    // The frame was the highlight colour, now it is the shadow's; the
    // item no longer shows selected.
    EXPECT_EQ(Focused->Pixel(20, 30) & 0xFFFFFF, ColorToRGB(clHighlight));
    EXPECT_EQ(Left->Pixel(20, 30) & 0xFFFFFF, ColorToRGB(clBtnShadow));
    EXPECT_EQ(Focused->Pixel(22, 22) & 0xFFFFFF, ColorToRGB(clHighlight));
    EXPECT_EQ(Left->Pixel(22, 22) & 0xFFFFFF, ColorToRGB(Box->Color()));
    TOwnedPtr<TBitmap> Sheet(New<TBitmap>());
    Sheet->SetSize(Focused->Width() * 2 + 10, Focused->Height());
    Sheet->Canvas()->Brush()->SetColor(clWhite);
    Sheet->Canvas()->FillRect({ 0, 0, Sheet->Width(), Sheet->Height() });
    Sheet->Canvas()->Draw(0, 0, Focused.get());
    Sheet->Canvas()->Draw(Focused->Width() + 10, 0, Left.get());
    SaveBitmap(Sheet.get(), "gallery-combo-focus-left.png");
}

TEST_F(XSparkGallery, TheListViewSortedByAColumnShowsItsArrow)
{
    Form->SetBounds(100, 100, 340, 200);
    auto* Images = New<TImageList>(Form);
    AddArrows(Images);
    auto* List = New<TXListView>(Form);
    List->SetParent(Form);
    List->SetBounds(10, 10, 320, 180);
    List->SetSmallImages(Images);
    const char16_t* Names[] = { u"sunset.jpg", u"beach.png", u"harbour.jpg", u"alps.jpg", u"market.png", u"dunes.jpg" };
    const char16_t* Sizes[] = { u"2.4 MB", u"840 KB", u"3.1 MB", u"5.0 MB", u"1.2 MB", u"2.9 MB" };
    List->Columns()->Add()->SetCaption(u"Name");
    List->Columns()->Items(0)->SetWidth(160);
    List->Columns()->Add()->SetCaption(u"Size");
    List->Columns()->Items(1)->SetWidth(120);
    for (Integer I = 0; I < 6; ++I) {
        TListItem* Item = List->Items()->Add();
        Item->SetCaption(Names[I]);
        Item->SubItems()->Add(Sizes[I]);
    }
    List->SetColumnSort(true);
    List->SortItems()->Add()->Compare = [](TListItem* A, TListItem* B, Integer Key) {
        return (Key < 0 ? -1 : 1) * CompareText(A->Caption(), B->Caption());
    };
    Form->Show();
    Pump();
    const TPoint Header = List->ClientToScreen({ 40, 6 });
    for (int Click = 0; Click < 2; ++Click) {
        Clock.Advance(1000);
        PostInput(TInputEvent::ButtonEvent({ Header.X, Header.Y }, mbiLeft, true));
        PostInput(TInputEvent::ButtonEvent({ Header.X, Header.Y }, mbiLeft, false));
        Pump();
    }
    EXPECT_EQ(List->SortOrder(), lsoDescending);
    EXPECT_EQ(List->Items()->Item(0)->Caption(), u"sunset.jpg");
    EXPECT_EQ(List->Columns()->Items(0)->ImageIndex(), 1);
    SaveBitmap(WindowPicture(Form->Handle()).get(), "gallery-list-view-sorted.png");
}

TEST_F(XSparkGallery, TheCheckedTreeWithNodePictures)
{
    Form->SetBounds(100, 100, 260, 220);
    auto* Images = New<TImageList>(Form);
    Images->SetSize(16, 16);
    auto* Tree = New<TXTreeView>(Form);
    Tree->SetParent(Form);
    Tree->SetBounds(10, 10, 240, 200);
    Tree->SetColor(clWindow);
    Tree->SetImages(Images);
    Tree->SetCheckboxes(true);
    TXImageCollection* Pictures[] = { SkinInfoImages(), SkinQuestionImages(), SkinErrorImages(), SkinWarningImages() };
    const char16_t* Groups[] = { u"Notes", u"Questions", u"Errors", u"Warnings" };
    for (Integer G = 0; G < 4; ++G) {
        TTreeNode* Group = Tree->Items()->Add(nullptr, Groups[G]);
        ASSERT_TRUE(SetTreeNodeImage(Tree, Group, Pictures[G]->Items(0)->ImageData()));
        Group->SetChecked(G % 2 == 0);
        for (Integer I = 0; I < 2; ++I) {
            TTreeNode* Child = Tree->Items()->AddChild(Group, Groups[G] + String(u" ") + IntToStr(I + 1));
            Child->SetChecked(I == 0);
        }
    }
    Tree->FullExpand();
    EXPECT_EQ(Images->Count(), 4);
    Form->Show();
    Pump();
    SaveBitmap(WindowPicture(Form->Handle()).get(), "gallery-tree-checked.png");
}

TEST(XSparkGalleryDraw, BothDividers)
{
    TOwnedPtr<TBitmap> Bmp(New<TBitmap>());
    Bmp->SetSize(320, 140);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(clBtnFace);
    C->FillRect({ 0, 0, 320, 140 });
    C->Font()->Assign(SharedFonts(0));
    C->Brush()->SetStyle(bsClear);
    C->TextOut(8, 4, u"Styled divider (system style)");
    DrawStyledDivider(C, StyleServices(), { 8, 22, 312, 32 });
    const TColor Colors[] = { clBtnFace, 0xC08040, 0x4080C0, 0x40A040 };
    for (Integer I = 0; I < 4; ++I) {
        const Integer Top = 40 + I * 24;
        C->Brush()->SetColor(Colors[I]);
        C->FillRect({ 0, Top, 320, Top + 24 });
        C->Brush()->SetStyle(bsClear);
        C->TextOut(8, Top + 2, u"Colour divider");
        DrawColorDivider(C, Colors[I], { 120, Top, 312, Top + 24 });
        // The shadow line on top, the highlight below, centred.
        const Integer Y = Top + (24 - 2) / 2;
        EXPECT_EQ(Bmp->Pixel(200, Y) & 0xFFFFFF, GetShadowColor(Colors[I]));
        EXPECT_EQ(Bmp->Pixel(200, Y + 1) & 0xFFFFFF, GetHighLightColor(Colors[I]));
    }
    // The system separator: a shadow line with a highlight below it.
    EXPECT_EQ(Bmp->Pixel(100, 26) & 0xFFFFFF, ColorToRGB(clBtnShadow));
    EXPECT_EQ(Bmp->Pixel(100, 27) & 0xFFFFFF, ColorToRGB(clBtnHighlight));
    SaveBitmap(Bmp.get(), "gallery-dividers.png");
}

TEST(XSparkGalleryDraw, TheSharedFonts)
{
    InitSharedFonts();
    TOwnedPtr<TBitmap> Bmp(New<TBitmap>());
    Bmp->SetSize(420, 10 * 26 + 8);
    TCanvas* C = Bmp->Canvas();
    C->Brush()->SetColor(clWhite);
    C->FillRect({ 0, 0, Bmp->Width(), Bmp->Height() });
    C->Brush()->SetStyle(bsClear);
    Integer Y = 4;
    for (Integer I = 0; I < SharedFontCount; ++I) {
        TFont* F = SharedFonts(I);
        C->Font()->Assign(F);
        C->TextOut(8, Y, IntToStr(I) + u": " + F->Name() + u" " + IntToStr(F->Size()) + u" pt, the quick brown fox");
        Y += 26;
    }
    SaveBitmap(Bmp.get(), "gallery-shared-fonts.png");
}

}

TEST_F(XSparkGallery, AFormWithTheWizardsLanguageComboBox)
{
    TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(6001, 600));
    TOwnedPtr<TMemoryStream> German = GalleryLanguage(u"German", 0x07);
    TOwnedPtr<TMemoryStream> French = GalleryLanguage(u"French", 0x0C);
    TOwnedPtr<TXAppWizard> Wizard(New<TXAppWizard>(nullptr));
    Wizard->LanguageAppID = 6001;
    Wizard->LanguageAppVer = 600;
    for (TStream* Language : { static_cast<TStream*>(English.get()), static_cast<TStream*>(German.get()),
             static_cast<TStream*>(French.get()) })
        Wizard->AddLanguageStream(Language);

    Form->SetBounds(100, 100, 260, 180);
    Form->SetColor(clBtnFace);
    auto* Box = AddBox(20);
    Wizard->AddLanguageControl(Box);
    ASSERT_TRUE(Wizard->LoadSavedLanguage());
    // The framework's box lists the languages by id, in the shown order.
    ASSERT_EQ(Box->Items()->Count(), 3);
    const Cardinal Ids[] = { 0x09, 0x0C, 0x07 };
    for (Integer I = 0; I < 3; ++I) {
        auto* Item = DynamicCast<TXLocalizedCollectionItem>(Box->Items()->Objects(I));
        ASSERT_TRUE(Item);
        EXPECT_EQ(Item->LgID(), Ids[I]);
    }
    EXPECT_EQ(Box->ItemIndex(), 0);

    Form->Show();
    Pump();
    Box->SetDroppedDown(true);
    Pump();
    ASSERT_TRUE(Box->ListHandle());
    RECT ListRect;
    GetWindowRect(Box->ListHandle(), &ListRect);
    const TPoint Third { ListRect.left + 30, ListRect.top + Box->ItemHeight() * 2 + 4 };
    PostInput(TInputEvent::Move({ Third.X, Third.Y }));
    Pump();
    SaveBitmap(FormWithList(Box).get(), "wizard-language-combo.png");

    // A click on the third entry loads German; the windows re-caption once.
    TGalleryRecaptions Recaptions;
    const TXAnyProcedure Proc = TXAnyProcedure::Method<&TGalleryRecaptions::Recaption>(&Recaptions);
    RegisterLanguageListener(Proc);
    Recaptions.Count = 0;
    PostInput(TInputEvent::ButtonEvent({ Third.X, Third.Y }, mbiLeft, true));
    PostInput(TInputEvent::ButtonEvent({ Third.X, Third.Y }, mbiLeft, false));
    Pump();
    UnregisterLanguageListener(Proc);
    EXPECT_EQ(GetCurrentLgID(), 0x07u);
    EXPECT_EQ(Lg()->GetWord(0x80000100u), u"Hello German");
    EXPECT_EQ(Recaptions.Count, 1);
    EXPECT_EQ(Box->ItemIndex(), 2);
    EXPECT_FALSE(Box->DroppedDown());
    Lg()->Clear();
}
