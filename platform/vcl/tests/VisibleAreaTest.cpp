#include "ControlTestSupport.h"
#include <cstdlib>

using namespace ControlTests;

namespace {

// A windowed control holding content far larger than any screen: rows of
// colours, each row its own, painted through the canvas wherever the
// window shows it. It counts what it paints.
class TTallContent : public TCustomControl {
    X_CLASS_TEMPLATE(TTallContent, TCustomControl, u"TTallContent")
public:
    Integer Paints = 0;
    Int64 PaintedPixels = 0;
    std::vector<TRect> PaintedClips;

    static TColor RowColor(Integer Y) { return TColor(((Y * 37) & 0xFF) | (((Y >> 8) & 0xFF) << 8) | 0x800000); }

protected:
    void Paint() override
    {
        const TRect Clip = Canvas()->ClipRect();
        ++Paints;
        PaintedPixels += Int64(Clip.Width()) * Clip.Height();
        PaintedClips.push_back(Clip);
        for (Integer Y = Clip.Top; Y < Clip.Bottom; ++Y) {
            Canvas()->Brush()->SetColor(RowColor(Y));
            Canvas()->FillRect(Rect(Clip.Left, Y, Clip.Right, Y + 1));
        }
    }
};

class VisibleArea : public TFormFixture {
protected:
    // The rows the form shows at x, for content scrolled by Offset rows,
    // that differ from the content: none when the picture is right.
    std::vector<Integer> WrongRows(Integer X, Integer Offset)
    {
        TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
        GetWindowBitmap(Form->Handle(), Bmp.get());
        std::vector<Integer> Wrong;
        for (Integer Y = 0; Y < Bmp->Height(); ++Y)
            if (Bmp->Pixel(X, Y) != TTallContent::RowColor(Offset + Y))
                Wrong.push_back(Y);
        return Wrong;
    }
};

constexpr Integer FormWidth = 400, FormHeight = 300;
constexpr size_t VisibleBytes = size_t(FormWidth) * FormHeight * 4;

}

// Memory follows what the screen shows, not what the windows hold: a form
// of 400 x 300 whose child holds 4000 x 100 000 pixels (1.6 GB as a
// bitmap) shows and scrolls within the address space limit, its peak
// resident size rising by at most 8 times its visible area's pixels. A
// scroll moves the pixels already there: each of 1,000 steps paints the
// strip it uncovered and nothing else. Moving the child itself far down
// (as a scroll box of thumbnails does) stays within the same bound.
TEST_F(VisibleArea, AHugeScrollingChildCostsTheVisibleAreaAndPaintsOnlyTheStrips)
{
    if (!std::getenv("X_TEST_VISIBLE_AREA")) {
        const Testing::TToolResult Child = Testing::RunThisTestWith({ "X_TEST_VISIBLE_AREA=1" });
        EXPECT_EQ(Child.ExitCode, 0) << Child.Output;
        return;
    }
    // The first form shown pays for fonts and the like.
    Form->Show();
    Pump();
    ASSERT_EQ(Form->ClientWidth(), FormWidth);
    ASSERT_EQ(Form->ClientHeight(), FormHeight);
    const Testing::TMemoryBudget Budget(64 << 20);

    auto* Content = Add<TTallContent>(Form, { 0, 0, 4000, 100000 }, 0);
    Pump();
    ASSERT_EQ(Content->Paints, 1);
    EXPECT_EQ(Content->PaintedClips[0], Rect(0, 0, FormWidth, FormHeight));
    EXPECT_TRUE(WrongRows(5, 0).empty());

    constexpr Integer Steps = 1000, Step = 7;
    for (Integer I = 1; I <= Steps; ++I) {
        ScrollWindowEx(Form->Handle(), 0, -Step, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE);
        Pump();
        ASSERT_EQ(Content->Paints, 1 + I);
        // The child's own coordinates: the rows that came into view.
        ASSERT_EQ(Content->PaintedClips.back(),
            Rect(0, I * Step + FormHeight - Step, FormWidth, I * Step + FormHeight));
    }
    EXPECT_EQ(Content->Top(), -Steps * Step);
    EXPECT_EQ(Content->PaintedPixels, Int64(FormWidth) * FormHeight + Int64(Steps) * Step * FormWidth);
    EXPECT_TRUE(WrongRows(5, Steps * Step).empty());
    EXPECT_TRUE(WrongRows(FormWidth - 1, Steps * Step).empty());

    // Moved by its bounds, the child paints what shows wherever it is.
    for (Integer Top = 7000; Top <= 61000; Top += 6000) {
        Content->SetTop(-Top);
        Pump();
        ASSERT_TRUE(WrongRows(200, Top).empty()) << Top;
    }
    RecordProperty("PeakGrowth", std::to_string(Budget.PeakGrowth()));
    if (Budget.Limited())
        EXPECT_LE(Budget.PeakGrowth(), 8 * VisibleBytes);
}
