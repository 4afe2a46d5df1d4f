#include "graphics/XMedia.Types.h"
#include "gdi/Colors.h"
#include "rtl/StrUtils.h"
#include <algorithm>
#include <cmath>

String TXSize::ToString() const
{
    return IntToStr(Width) + u"x" + IntToStr(Height);
}

// --- rectangles -------------------------------------------------------------

bool RectIntersect(const TRect& A, const TRect& B, TRect& R)
{
    R = Rect(std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
        std::min(A.Bottom, B.Bottom));
    if (RectIsEmpty(R)) {
        R = {};
        return false;
    }
    return true;
}

String RectToText(const TRect& R)
{
    return IntToStr(R.Left) + u"," + IntToStr(R.Top) + u"," + IntToStr(R.Right) + u"," + IntToStr(R.Bottom);
}

TRect RectFromText(StringView Text)
{
    Integer Fields[4] = {};
    if (!Text.empty()) {
        size_t Start = 0;
        for (int I = 0; I < 4 && Start <= Text.size(); ++I) {
            size_t Comma = Text.find(u',', Start);
            const size_t End = Comma == StringView::npos ? Text.size() : Comma;
            Fields[I] = StrToIntDef(Text.substr(Start, End - Start), 0);
            if (Comma == StringView::npos)
                break;
            Start = Comma + 1;
        }
    }
    return Rect(Fields[0], Fields[1], Fields[2], Fields[3]);
}

// --- fit sizes ---------------------------------------------------------------

namespace {

// A x B / C for positive values, rounded to the nearest integer with ties
// to even, exactly (128-bit product).
Int64 MulDivRound(Int64 A, Int64 B, Int64 C)
{
    const __int128 N = __int128(A) * B;
    __int128 Q = N / C;
    const __int128 R = N % C;
    if (2 * R > C || (2 * R == C && (Q & 1)))
        ++Q;
    return Int64(std::min<__int128>(Q, INT64_MAX));
}

Integer Side(Int64 V)
{
    return Integer(std::clamp<Int64>(V, 1, INT32_MAX));
}

void DownScaled(Integer& W, Integer& H, Int64 SrcW, Int64 SrcH, Int64 MaxW, Int64 MaxH)
{
    if (SrcW <= MaxW && SrcH <= MaxH) {
        W = Side(SrcW);
        H = Side(SrcH);
        return;
    }
    Int64 NW = MaxW, NH = MulDivRound(MaxW, SrcH, SrcW);
    if (NH > MaxH) {
        NH = MaxH;
        NW = MulDivRound(SrcW, MaxH, SrcH);
    }
    W = Side(NW);
    H = Side(NH);
}

} // namespace

void CalcDownScaledBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH)
{
    W = H = 0;
    if (SrcW <= 0 || SrcH <= 0 || MaxW <= 0 || MaxH <= 0)
        return;
    DownScaled(W, H, SrcW, SrcH, MaxW, MaxH);
}

void CalcBestFitSize(Integer& W, Integer& H, Integer SrcW, Integer SrcH, Integer MaxW, Integer MaxH)
{
    W = H = 0;
    if (SrcW <= 0 || SrcH <= 0 || MaxW <= 0 || MaxH <= 0)
        return;
    Int64 SW = SrcW, SH = SrcH;
    if (SW < MaxW && SH < MaxH) {
        SH = MulDivRound(MaxW, SH, SW);
        SW = MaxW;
    }
    DownScaled(W, H, SW, SH, MaxW, MaxH);
}

// --- colours -----------------------------------------------------------------

namespace {

// The constants as single-precision reciprocals.
const float Inv255 = 1.0f / 255.0f;
const float Inv60 = 1.0f / 60.0f;
const float Inv12_92 = 1.0f / 12.92f;
const float Inv1_055 = 1.0f / 1.055f;
const float Inv2_4 = 1.0f / 2.4f;
const float Inv3 = 1.0f / 3.0f;
const float Inv7_787 = 1.0f / 7.787f;
const float Inv95_047 = 1.0f / 95.047f;
const float Inv108_883 = 1.0f / 108.883f;
const float Inv116 = 1.0f / 116.0f;
const float K16_116 = 16.0f / 116.0f;

float HueChannel(float H, float P, float Q)
{
    if (H > 360)
        H -= 360;
    if (H < 0)
        H += 360;
    float V;
    if (H < 60)
        V = P + (Q - P) * H * Inv60;
    else if (H < 180)
        V = Q;
    else if (H < 240)
        V = P + (Q - P) * (240 - H) * Inv60;
    else
        V = P;
    return V * 255;
}

float Linear(float C)
{
    return C <= 0.04045f ? C * Inv12_92 : std::pow((C + 0.055f) * Inv1_055, 2.4f);
}

float Gamma(float V)
{
    return V <= 0.0031308f ? 12.92f * V : 1.055f * std::pow(V, Inv2_4) - 0.055f;
}

float LabF(float T)
{
    return T > 0.008856f ? std::pow(T, Inv3) : 7.787f * T + K16_116;
}

float LabT(float F)
{
    const float Cube = F * F * F;
    return Cube > 0.008856f ? Cube : (F - K16_116) * Inv7_787;
}

// One model into another along the routes: everything meets at RGB, Lab
// only through XYZ.
TXFotoPixel ToRGB(Byte Model, const TXFotoPixel& P)
{
    switch (Model) {
    case cmHSL: return HSLToRGB(P);
    case cmCMY: return CMYToRGB(P);
    case cmXYZ: return XYZToRGB(P);
    case cmLab: return XYZToRGB(LabToXYZ(P));
    default: return P;
    }
}

TXFotoPixel FromRGB(Byte Model, const TXFotoPixel& P)
{
    switch (Model) {
    case cmHSL: return RGBToHSL(P);
    case cmCMY: return RGBToCMY(P);
    case cmXYZ: return RGBToXYZ(P);
    case cmLab: return XYZToLab(RGBToXYZ(P));
    default: return P;
    }
}

bool Convertible(Byte Model)
{
    return Model == cmRGB || Model == cmHSL || Model == cmCMY || Model == cmXYZ || Model == cmLab;
}

} // namespace

TXFotoPixel RGBToHSL(const TXFotoPixel& Rgb)
{
    const float B = Rgb.C1 * Inv255, G = Rgb.C2 * Inv255, R = Rgb.C3 * Inv255;
    const float Max = std::max(std::max(R, G), B), Min = std::min(std::min(R, G), B);
    const float L = (Max + Min) / 2;
    const float D = Max - Min;
    if (D == 0)
        return { 0, 0, L };
    const float S = L > 0.5f ? D / (2 - Max - Min) : D / (Max + Min);
    float H;
    if (Max == R)
        H = (G - B) * 60 / D;
    else if (Max == G)
        H = (B - R) * 60 / D + 120;
    else
        H = (R - G) * 60 / D + 240;
    if (H < 0)
        H += 360;
    else if (H > 360)
        H -= 360;
    return { H, S, L };
}

TXFotoPixel HSLToRGB(const TXFotoPixel& Hsl)
{
    const float H = Hsl.C1, S = Hsl.C2, L = Hsl.C3;
    if (S == 0)
        return { L * 255, L * 255, L * 255 };
    const float Q = L > 0.5f ? L + S - L * S : L * (S + 1);
    const float P = 2 * L - Q;
    return { HueChannel(H - 120, P, Q), HueChannel(H, P, Q), HueChannel(H + 120, P, Q) };
}

TXFotoPixel RGBToCMY(const TXFotoPixel& Rgb)
{
    return { 1 - Rgb.C3 * Inv255, 1 - Rgb.C2 * Inv255, 1 - Rgb.C1 * Inv255 };
}

TXFotoPixel CMYToRGB(const TXFotoPixel& Cmy)
{
    return { (1 - Cmy.C3) * 255, (1 - Cmy.C2) * 255, (1 - Cmy.C1) * 255 };
}

TXFotoPixel RGBToXYZ(const TXFotoPixel& Rgb)
{
    const float R = Linear(Rgb.C3 * Inv255) * 100, G = Linear(Rgb.C2 * Inv255) * 100, B = Linear(Rgb.C1 * Inv255) * 100;
    return { 0.4124f * R + 0.3576f * G + 0.1805f * B, 0.2126f * R + 0.7152f * G + 0.0722f * B,
        0.0193f * R + 0.1192f * G + 0.9505f * B };
}

TXFotoPixel XYZToRGB(const TXFotoPixel& Xyz)
{
    const float X = Xyz.C1 * 0.01f, Y = Xyz.C2 * 0.01f, Z = Xyz.C3 * 0.01f;
    const float R = 3.2406f * X - 1.5372f * Y - 0.4986f * Z;
    const float G = -0.9689f * X + 1.8758f * Y + 0.0415f * Z;
    const float B = 0.0557f * X - 0.204f * Y + 1.057f * Z;
    return { Gamma(B) * 255, Gamma(G) * 255, Gamma(R) * 255 };
}

TXFotoPixel XYZToLab(const TXFotoPixel& Xyz)
{
    const float FX = LabF(Xyz.C1 * Inv95_047), FY = LabF(Xyz.C2 * 0.01f), FZ = LabF(Xyz.C3 * Inv108_883);
    return { 116 * FY - 16, 500 * (FX - FY), 200 * (FY - FZ) };
}

TXFotoPixel LabToXYZ(const TXFotoPixel& Lab)
{
    const float FY = (Lab.C1 + 16) * Inv116;
    const float FX = Lab.C2 * 0.002f + FY;
    const float FZ = FY - Lab.C3 * 0.005f;
    return { 95.047f * LabT(FX), 100 * LabT(FY), 108.883f * LabT(FZ) };
}

// The channels are read into locals first: a colour record is packed, and
// std::max would bind references to its unaligned members.
float MaxComponent(const TXFotoPixel& P)
{
    const float A = P.C1, B = P.C2, C = P.C3;
    return std::max(std::max(A, B), C);
}

float MinComponent(const TXFotoPixel& P)
{
    const float A = P.C1, B = P.C2, C = P.C3;
    return std::min(std::min(A, B), C);
}

TXRGBColor ColorToRGBColor(TColor Color)
{
    const TColor C = ColorToRGB(Color);
    return { GetBValue(C), GetGValue(C), GetRValue(C) };
}

TColor RGBColorToColor(const TXRGBColor& Color)
{
    return RGB(Color.Red, Color.Green, Color.Blue);
}

TXRGBColor SetRGBClamped(Integer R, Integer G, Integer B)
{
    return { Byte(std::clamp(B, 0, 255)), Byte(std::clamp(G, 0, 255)), Byte(std::clamp(R, 0, 255)) };
}

TXModelColor TXModelColor::FromColor(TColor Color)
{
    const TXRGBColor C = ColorToRGBColor(Color);
    return { cmRGB, 255, { float(C.Blue), float(C.Green), float(C.Red) } };
}

TXModelColor TXModelColor::FromColorAs(TColor Color, Byte AModel)
{
    TXModelColor C = FromColor(Color);
    C.ConvertTo(AModel);
    return C;
}

void TXModelColor::Convert(Byte AModel, TXModelColor& Result) const
{
    Result.Alpha = Alpha;
    Result.Model = AModel;
    if (AModel == Model || !Convertible(Model) || !Convertible(AModel)) {
        Result.FotoPixel = FotoPixel;
        return;
    }
    Result.FotoPixel = FromRGB(AModel, ToRGB(Model, FotoPixel));
}

void TXModelColor::ConvertTo(Byte AModel)
{
    TXModelColor Result;
    Convert(AModel, Result);
    *this = Result;
}

TColor TXModelColor::ToColor() const
{
    TXModelColor Rgb;
    Convert(cmRGB, Rgb);
    auto Channel = [](float V) { return Byte(std::clamp(RoundChannel(V), 0, 255)); };
    return RGB(Channel(Rgb.FotoPixel.C3), Channel(Rgb.FotoPixel.C2), Channel(Rgb.FotoPixel.C1));
}
