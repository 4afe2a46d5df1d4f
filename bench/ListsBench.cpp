// The framework lists' hot paths beside what a program would do with plain
// tools, ratios printed:
// - sorting a list view of 100,000 items by a column (ascending, from the
//   data order), beside std::stable_sort of the bare keys; and putting it
//   back into the data order, beside the same;
// - a full repaint of a form holding a 1,000-item list view, a 1,000-node
//   tree and 50 combo boxes, beside cairo and pango drawing the shapes and
//   texts that show (header cells, rows, boxes, buttons).
#include "graphics/XSpark.VCL.Lists.h"
#include "rtl/StrUtils.h"
#include "rtl/Units.h"
#include "vcl/Forms.h"
#include "win/Painting.h"
#include "win/Presenter.h"
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <pango/pangocairo.h>
#include <random>

namespace {

std::map<std::string, std::vector<double>> Ratios;

double Seconds(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

// An item's data: its column value and its place in the data order.
class TRecord : public TObject, public IXListOrderKey {
    X_CLASS_TEMPLATE(TRecord, TObject, u"TBenchRecord")
    X_INTERFACES(TRecord, IXListOrderKey)
    X_NOT_COUNTED
public:
    Integer Value = 0;
    Integer Order = 0;
    Integer GetOrderKey() override { return Order; }
};

Integer ByValue(TListItem* A, TListItem* B, Integer SortKey)
{
    const Integer X = static_cast<TRecord*>(A->Data())->Value, Y = static_cast<TRecord*>(B->Data())->Value;
    return (SortKey < 0 ? -1 : 1) * (X < Y ? -1 : X > Y ? 1 : 0);
}

constexpr Integer SortItems = 100000;

void BM_ListViewSort(benchmark::State& State)
{
    std::mt19937 Random(11);
    std::vector<TOwnedPtr<TRecord>> Records;
    std::vector<Integer> Keys;
    TOwnedPtr<TXListView> List(New<TXListView>(static_cast<TComponent*>(nullptr)));
    List->Columns()->Add()->SetCaption(u"Value");
    List->SortItems()->Add()->Compare = &ByValue;
    List->SetColumnSort(true);
    List->Items()->BeginUpdate();
    for (Integer I = 0; I < SortItems; ++I) {
        Records.emplace_back(New<TRecord>());
        Records.back()->Value = Integer(Random() % 50000);
        Records.back()->Order = I;
        Keys.push_back(Records.back()->Value);
        TListItem* Item = List->Items()->Add();
        Item->SetData(Records.back().get());
    }
    List->Items()->EndUpdate();
    for (auto _ : State) {
        // By the column, from the data order.
        auto Start = std::chrono::steady_clock::now();
        List->SetSortOrder(lsoAscending);
        const double Column = Seconds(Start);
        std::vector<Integer> Bare = Keys;
        Start = std::chrono::steady_clock::now();
        std::stable_sort(Bare.begin(), Bare.end());
        const double Plain = Seconds(Start);
        // Back into the data order, from the column's.
        Start = std::chrono::steady_clock::now();
        List->SetSortOrder(lsoNone);
        const double DataOrder = Seconds(Start);
        benchmark::DoNotOptimize(Bare.data());
        State.SetIterationTime(Column);
        Ratios["list view sort by a column / std::stable_sort"].push_back(Column / Plain);
        Ratios["list view back to the data order / std::stable_sort"].push_back(DataOrder / Plain);
        State.counters["column/stable_sort"] = Column / Plain;
        State.counters["data order/stable_sort"] = DataOrder / Plain;
    }
    if (static_cast<TRecord*>(List->Items()->Item(0)->Data())->Order != 0)
        State.SkipWithError("the data order did not come back");
}

constexpr Integer FormWidth = 1100, FormHeight = 650;
constexpr Integer Combos = 50, ComboWidth = 190, ComboHeight = 24;

struct TListsForm {
    TForm* Form = nullptr;
    TXListView* List = nullptr;
    TXTreeView* Tree = nullptr;
    std::vector<TXComboBox*> Boxes;

    TListsForm()
    {
        Form = New<TForm>(nullptr);
        Form->SetBounds(0, 0, FormWidth, FormHeight);
        List = New<TXListView>(Form);
        List->SetBounds(0, 0, 450, FormHeight);
        List->SetParent(Form);
        for (const char16_t* Caption : { u"Name", u"Size", u"Date" }) {
            TListColumn* Column = List->Columns()->Add();
            Column->SetCaption(Caption);
            Column->SetWidth(140);
        }
        List->Items()->BeginUpdate();
        for (Integer I = 0; I < 1000; ++I) {
            TListItem* Item = List->Items()->Add();
            Item->SetCaption(u"photo_" + IntToStr(I) + u".jpg");
            Item->SubItems()->Add(IntToStr(I * 37 % 9000) + u" KB");
            Item->SubItems()->Add(u"2024-05-" + IntToStr(1 + I % 28));
        }
        List->Items()->EndUpdate();
        Tree = New<TXTreeView>(Form);
        Tree->SetBounds(450, 0, 250, FormHeight);
        Tree->SetCheckboxes(true);
        Tree->SetParent(Form);
        Tree->Items()->BeginUpdate();
        for (Integer G = 0; G < 50; ++G) {
            TTreeNode* Group = Tree->Items()->Add(nullptr, u"Folder " + IntToStr(G));
            for (Integer I = 0; I < 19; ++I)
                Tree->Items()->AddChild(Group, u"Picture " + IntToStr(I))->SetChecked(I % 3 == 0);
        }
        Tree->Items()->EndUpdate();
        Tree->FullExpand();
        for (Integer I = 0; I < Combos; ++I) {
            auto* Box = New<TXComboBox>(Form);
            Box->SetBounds(705 + (I / 25) * (ComboWidth + 5), (I % 25) * 26, ComboWidth, ComboHeight);
            Box->SetParent(Form);
            for (Integer J = 0; J < 5; ++J)
                Box->Items()->Add(u"Choice " + IntToStr(J));
            Box->SetItemIndex(I % 5);
            Boxes.push_back(Box);
        }
        Form->Show();
        Application->ProcessMessages();
    }
    ~TListsForm() { Form->Free(); }
};

TListsForm* Lists = nullptr;

void CairoRect(cairo_t* Cr, const TRect& R, double Grey)
{
    cairo_set_source_rgb(Cr, Grey, Grey, Grey);
    cairo_rectangle(Cr, R.Left, R.Top, R.Width(), R.Height());
    cairo_fill(Cr);
}

void CairoText(cairo_t* Cr, PangoLayout* Layout, Integer X, Integer Y, const String& Text)
{
    const std::string Utf8 = StringToUTF8(Text);
    pango_layout_set_text(Layout, Utf8.c_str(), int(Utf8.size()));
    cairo_set_source_rgb(Cr, 0, 0, 0);
    cairo_move_to(Cr, X, Y);
    pango_cairo_show_layout(Cr, Layout);
}

// What shows of the form: the list's header and rows, the tree's rows
// with their boxes, every combo box's frame, text and button.
double RepaintCairo(cairo_surface_t* Surface)
{
    const auto Start = std::chrono::steady_clock::now();
    cairo_t* Cr = cairo_create(Surface);
    cairo_set_source_rgb(Cr, 0.94, 0.94, 0.94);
    cairo_paint(Cr);
    PangoLayout* Layout = pango_cairo_create_layout(Cr);
    PangoFontDescription* Font = pango_font_description_from_string("DejaVu Sans 8");
    pango_layout_set_font_description(Layout, Font);

    TXListView* List = Lists->List;
    const Integer Header = List->HeaderHeight(), ListRow = List->RowHeight();
    CairoRect(Cr, { 0, 0, 450, FormHeight }, 1.0);
    for (Integer C = 0; C < 3; ++C) {
        CairoRect(Cr, { C * 140, 0, C * 140 + 139, Header }, 0.9);
        CairoText(Cr, Layout, C * 140 + 6, 3, List->Columns()->Items(C)->Caption());
    }
    for (Integer I = 0, Y = Header; I < List->Items()->Count() && Y < FormHeight; ++I, Y += ListRow) {
        TListItem* Item = List->Items()->Item(I);
        CairoText(Cr, Layout, 4, Y, Item->Caption());
        CairoText(Cr, Layout, 144, Y, Item->SubItems()->Strings(0));
        CairoText(Cr, Layout, 284, Y, Item->SubItems()->Strings(1));
    }

    TXTreeView* Tree = Lists->Tree;
    const Integer TreeRow = Tree->RowHeight();
    CairoRect(Cr, { 450, 0, 700, FormHeight }, 1.0);
    Integer Y = 0;
    for (TTreeNode* Node = Tree->Items()->GetFirstNode(); Node && Y < FormHeight;
         Node = Node->GetNext(), Y += TreeRow) {
        const Integer X = 450 + 19 * (Node->Level() + 1);
        cairo_set_source_rgb(Cr, 0.5, 0.5, 0.5);
        cairo_rectangle(Cr, X - 15.5, Y + 3.5, 12, 12);
        cairo_stroke(Cr);
        CairoText(Cr, Layout, X + 2, Y, Node->Text());
    }

    for (TXComboBox* Box : Lists->Boxes) {
        const TRect R = Box->BoundsRect();
        CairoRect(Cr, R, 0.6);
        CairoRect(Cr, { R.Left + 1, R.Top + 1, R.Right - 1, R.Bottom - 1 }, 1.0);
        CairoRect(Cr, { R.Right - 18, R.Top + 1, R.Right - 1, R.Bottom - 1 }, 0.9);
        cairo_set_source_rgb(Cr, 0, 0, 0);
        cairo_move_to(Cr, R.Right - 13, R.Top + 10);
        cairo_line_to(Cr, R.Right - 6, R.Top + 10);
        cairo_line_to(Cr, R.Right - 9.5, R.Top + 14);
        cairo_close_path(Cr);
        cairo_fill(Cr);
        CairoText(Cr, Layout, R.Left + 4, R.Top + 4, Box->Items()->Strings(Box->ItemIndex()));
    }
    pango_font_description_free(Font);
    g_object_unref(Layout);
    cairo_destroy(Cr);
    cairo_surface_flush(Surface);
    return Seconds(Start);
}

double RepaintOurs()
{
    const auto Start = std::chrono::steady_clock::now();
    RedrawWindow(Lists->Form->Handle(), nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return Seconds(Start);
}

void BM_ListsFormRepaint(benchmark::State& State)
{
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, FormWidth, FormHeight);
    for (auto _ : State) {
        const double Ours = RepaintOurs();
        const double Cairo = RepaintCairo(Surface);
        State.SetIterationTime(Ours);
        Ratios["lists form repaint / cairo"].push_back(Ours / Cairo);
        State.counters["ours/cairo"] = Ours / Cairo;
    }
    cairo_surface_destroy(Surface);
}

}

BENCHMARK(BM_ListViewSort)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5)->Repetitions(3);
BENCHMARK(BM_ListsFormRepaint)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    InitializeUnits();
    {
        THeadlessPresenter Screen;
        Lists = new TListsForm;
        benchmark::RunSpecifiedBenchmarks();
        delete Lists;
        Lists = nullptr;
    }
    benchmark::Shutdown();
    for (auto& [Name, V] : Ratios) {
        std::sort(V.begin(), V.end());
        std::printf("%s: median %.2f (from %.2f to %.2f over %zu iterations)\n", Name.c_str(), V[V.size() / 2],
            V.front(), V.back(), V.size());
    }
    std::fflush(stdout);
    // The reference's fonts go before the picture layer resets cairo.
    pango_cairo_font_map_set_default(nullptr);
    FinalizeUnits();
    return 0;
}
