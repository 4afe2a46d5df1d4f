#include "gdi/Colors.h"
#include "graphics/XMedia.Types.h"
#include <gtest/gtest.h>
#include <cmath>
#include <limits>

TEST(XMediaTypes, RectangleHelpers)
{
    TRect R;
    EXPECT_TRUE(RectIntersect(Rect(0, 0, 10, 10), Rect(5, 5, 20, 20), R));
    EXPECT_EQ(R, Rect(5, 5, 10, 10));
    R = Rect(1, 2, 3, 4);
    EXPECT_FALSE(RectIntersect(Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), R));
    EXPECT_EQ(R, RectZero());
    EXPECT_EQ(RectAroundPoint(Point(5, 5), 2, 1), Rect(3, 4, 8, 7));
    EXPECT_EQ(RectInflate(Rect(0, 0, 4, 4), 1, 2), Rect(-1, -2, 5, 6));
    EXPECT_EQ(RectBounds(Rect(3, 4, 8, 10)), Rect(0, 0, 5, 6));
    EXPECT_TRUE(IsPointInRect(Point(0, 0), Rect(0, 0, 1, 1)));
    EXPECT_FALSE(IsPointInRect(Point(1, 0), Rect(0, 0, 1, 1)));
    EXPECT_TRUE(RectIsEmpty(Rect(-2147483647 - 1, 0, 2147483647, 0)));
    EXPECT_FALSE(RectIsEmpty(Rect(-2147483647 - 1, 0, 2147483647, 1)));
    const struct {
        const char16_t* Text;
        TRect Expected;
    } Texts[] = {
        { u"1,2,3,4", Rect(1, 2, 3, 4) },
        { u"10,20,x,40", Rect(10, 20, 0, 40) },
        { u"10,20,x", Rect(10, 20, 0, 0) },
        { u"", Rect(0, 0, 0, 0) },
        { u"-5", Rect(-5, 0, 0, 0) },
        { u"1,2,3,4,5", Rect(1, 2, 3, 4) },
    };
    for (const auto& T : Texts)
        EXPECT_EQ(RectFromText(T.Text), T.Expected) << StringToUTF8(T.Text);
    EXPECT_EQ(RectToText(Rect(-1, 2, 30, 400)), u"-1,2,30,400");
}

TEST(XMediaTypes, ColourRecords)
{
    EXPECT_EQ(ColorToRGBColor(RGB(1, 2, 3)), (TXRGBColor { 3, 2, 1 }));
    EXPECT_EQ(ColorToRGBColor(clBtnFace), (TXRGBColor { 240, 240, 240 }));
    EXPECT_EQ(RGBColorToColor({ 3, 2, 1 }), RGB(1, 2, 3));
    EXPECT_EQ(SetRGBClamped(300, -4, 7), (TXRGBColor { 7, 0, 255 }));
    EXPECT_TRUE(IsGray({ 9, 9, 9 }));
    EXPECT_FALSE(IsGray({ 9, 9, 8 }));
    EXPECT_EQ(MaxComponent({ 1, 7, -3 }), 7);
    EXPECT_EQ(MinComponent({ 1, 7, -3 }), -3);
}

TEST(XMediaTypes, ModelEdgeCases)
{
    // Pure red: hue 0, saturation 1, lightness 0.5, and back.
    TXModelColor Red = TXModelColor::FromColorAs(clRed, cmHSL);
    EXPECT_EQ(Red.FotoPixel, (TXFotoPixel { 0, 1, 0.5f }));
    EXPECT_EQ(Red.ToColor(), clRed);
    // A grey has no hue or saturation.
    TXModelColor Grey = TXModelColor::FromColorAs(RGB(77, 77, 77), cmHSL);
    // Packed records: their channels are compared as values.
    EXPECT_EQ(float(Grey.FotoPixel.C1), 0);
    EXPECT_EQ(float(Grey.FotoPixel.C2), 0);
    // Channels beyond the range: ties to even, then clamped; NaN is 0.
    const float NaN = std::numeric_limits<float>::quiet_NaN();
    const struct {
        TXFotoPixel Rgb;
        TColor Expected;
    } Cases[] = {
        { { 255.5f, -3, 0.5f }, RGB(0, 0, 255) },
        { { 2.5f, 3.5f, 254.5f }, RGB(254, 4, 2) },
        { { NaN, 1e30f, -1e30f }, RGB(0, 255, 0) },
    };
    for (const auto& C : Cases)
        EXPECT_EQ((TXModelColor { cmRGB, 255, C.Rgb }).ToColor(), C.Expected);
    // Models 4 and 5 only change the model byte.
    TXModelColor C = TXModelColor::FromColor(RGB(10, 20, 30));
    C.Alpha = 7;
    TXModelColor Five;
    C.Convert(5, Five);
    EXPECT_EQ(Five.Model, 5);
    EXPECT_EQ(Five.Alpha, 7);
    EXPECT_EQ(Five.FotoPixel, C.FotoPixel);
    // White in XYZ is the D65 white point; in Lab L 100, a and b near 0.
    TXModelColor White = TXModelColor::FromColorAs(clWhite, cmXYZ);
    EXPECT_NEAR(White.FotoPixel.C1, 95.05, 0.01);
    EXPECT_NEAR(White.FotoPixel.C2, 100.0, 0.01);
    EXPECT_NEAR(White.FotoPixel.C3, 108.9, 0.01);
    TXModelColor WhiteLab = TXModelColor::FromColorAs(clWhite, cmLab);
    EXPECT_NEAR(WhiteLab.FotoPixel.C1, 100.0, 0.01);
    EXPECT_NEAR(WhiteLab.FotoPixel.C2, 0.0, 0.01);
    EXPECT_NEAR(WhiteLab.FotoPixel.C3, 0.0, 0.02); // the matrix gives Z 108.9
    TXModelColor Cyan = TXModelColor::FromColorAs(RGB(0, 255, 255), cmCMY);
    EXPECT_EQ(Cyan.FotoPixel, (TXFotoPixel { 1, 0, 0 }));
}

TEST(XMediaTypes, EveryModelRoundTripsTheColourCube)
{
    // Every colour of a 16-step cube goes to each model, through the other
    // models, and back to the same TColor.
    const Byte Models[] = { cmRGB, cmHSL, cmCMY, cmXYZ, cmLab };
    for (int R = 0; R <= 255; R += 17)
        for (int G = 0; G <= 255; G += 17)
            for (int B = 0; B <= 255; B += 17) {
                const TColor Color = RGB(Byte(R), Byte(G), Byte(B));
                for (Byte From : Models)
                    for (Byte To : Models) {
                        TXModelColor C = TXModelColor::FromColorAs(Color, From);
                        C.ConvertTo(To);
                        ASSERT_EQ(C.ToColor(), Color)
                            << R << "," << G << "," << B << " via " << int(From) << "->" << int(To);
                    }
            }
}
