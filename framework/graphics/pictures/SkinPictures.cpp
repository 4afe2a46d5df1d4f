// Draws the skin's message pictures (information, question, error,
// warning; 64 x 64), the program icon (16, 32 and 48 pixels, PNG
// entries of one icon file) and the roll-up arrows of group panels (9 x 9) with cairo, and writes them as byte arrays of
// a C++ include file for the graphics library. The pictures are this
// project's own; the build runs this once.
//
// Usage: SkinPictures <output .inc>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Painter = std::function<void(cairo_t*)>;

cairo_status_t Append(void* Closure, const unsigned char* Data, unsigned int Length)
{
    auto* Out = static_cast<Bytes*>(Closure);
    Out->insert(Out->end(), Data, Data + Length);
    return CAIRO_STATUS_SUCCESS;
}

// Paints on a unit square (0..1) scaled to Size pixels.
Bytes Render(int Size, const Painter& Paint)
{
    cairo_surface_t* Surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Size, Size);
    cairo_t* Cr = cairo_create(Surface);
    cairo_scale(Cr, Size, Size);
    Paint(Cr);
    cairo_destroy(Cr);
    Bytes Png;
    cairo_surface_write_to_png_stream(Surface, &Append, &Png);
    cairo_surface_destroy(Surface);
    return Png;
}

void Rgb(cairo_t* Cr, unsigned Color, double Alpha = 1)
{
    cairo_set_source_rgba(Cr, ((Color >> 16) & 255) / 255.0, ((Color >> 8) & 255) / 255.0, (Color & 255) / 255.0,
        Alpha);
}

// A soft shadow below a shape: the path drawn a few times, wider and
// fainter each time.
void Shadow(cairo_t* Cr, const std::function<void()>& Path)
{
    cairo_save(Cr);
    cairo_translate(Cr, 0, 0.025);
    for (int I = 3; I >= 1; --I) {
        Path();
        cairo_set_source_rgba(Cr, 0, 0, 0, 0.07);
        cairo_set_line_width(Cr, 0.02 * I);
        cairo_stroke_preserve(Cr);
        cairo_fill(Cr);
    }
    cairo_restore(Cr);
}

// A round badge in a vertical gradient from Light to Dark, with a thin
// darker rim and a gloss on its upper half.
void Badge(cairo_t* Cr, unsigned Light, unsigned Dark)
{
    auto Circle = [&] { cairo_arc(Cr, 0.5, 0.48, 0.43, 0, 2 * M_PI); };
    Shadow(Cr, Circle);
    Circle();
    cairo_pattern_t* Fill = cairo_pattern_create_linear(0, 0.05, 0, 0.91);
    cairo_pattern_add_color_stop_rgb(Fill, 0, ((Light >> 16) & 255) / 255.0, ((Light >> 8) & 255) / 255.0,
        (Light & 255) / 255.0);
    cairo_pattern_add_color_stop_rgb(Fill, 1, ((Dark >> 16) & 255) / 255.0, ((Dark >> 8) & 255) / 255.0,
        (Dark & 255) / 255.0);
    cairo_set_source(Cr, Fill);
    cairo_fill_preserve(Cr);
    cairo_pattern_destroy(Fill);
    Rgb(Cr, Dark, 0.9);
    cairo_set_line_width(Cr, 0.025);
    cairo_stroke(Cr);

    cairo_save(Cr);
    cairo_arc(Cr, 0.5, 0.48, 0.40, 0, 2 * M_PI);
    cairo_clip(Cr);
    cairo_scale(Cr, 1, 0.62);
    cairo_arc(Cr, 0.5, 0.36, 0.36, 0, 2 * M_PI);
    cairo_pattern_t* Gloss = cairo_pattern_create_linear(0, 0.0, 0, 0.72);
    cairo_pattern_add_color_stop_rgba(Gloss, 0, 1, 1, 1, 0.45);
    cairo_pattern_add_color_stop_rgba(Gloss, 1, 1, 1, 1, 0.0);
    cairo_set_source(Cr, Gloss);
    cairo_fill(Cr);
    cairo_pattern_destroy(Gloss);
    cairo_restore(Cr);
}

void RoundBar(cairo_t* Cr, double X, double Y1, double Y2, double Width)
{
    cairo_set_line_cap(Cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(Cr, Width);
    cairo_move_to(Cr, X, Y1);
    cairo_line_to(Cr, X, Y2);
    cairo_stroke(Cr);
}

void Dot(cairo_t* Cr, double X, double Y, double R)
{
    cairo_arc(Cr, X, Y, R, 0, 2 * M_PI);
    cairo_fill(Cr);
}

void Information(cairo_t* Cr)
{
    Badge(Cr, 0x5AA9F0, 0x1657B8);
    Rgb(Cr, 0xFFFFFF);
    Dot(Cr, 0.5, 0.255, 0.065);
    RoundBar(Cr, 0.5, 0.43, 0.71, 0.12);
}

void Question(cairo_t* Cr)
{
    Badge(Cr, 0x4FC3C9, 0x16757F);
    Rgb(Cr, 0xFFFFFF);
    cairo_set_line_width(Cr, 0.105);
    cairo_set_line_cap(Cr, CAIRO_LINE_CAP_ROUND);
    // The hook: an arc over the top, then down to the stem.
    cairo_arc(Cr, 0.5, 0.35, 0.13, M_PI * 1.05, M_PI * 2.3);
    cairo_curve_to(Cr, 0.56, 0.47, 0.5, 0.48, 0.5, 0.57);
    cairo_stroke(Cr);
    Dot(Cr, 0.5, 0.72, 0.065);
}

void Error(cairo_t* Cr)
{
    Badge(Cr, 0xF0645A, 0xB3150F);
    Rgb(Cr, 0xFFFFFF);
    cairo_set_line_width(Cr, 0.11);
    cairo_set_line_cap(Cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(Cr, 0.34, 0.32);
    cairo_line_to(Cr, 0.66, 0.64);
    cairo_move_to(Cr, 0.66, 0.32);
    cairo_line_to(Cr, 0.34, 0.64);
    cairo_stroke(Cr);
}

void Warning(cairo_t* Cr)
{
    // A triangle with rounded corners: a thick round-joined outline filled.
    auto Triangle = [&] {
        cairo_move_to(Cr, 0.5, 0.12);
        cairo_line_to(Cr, 0.9, 0.84);
        cairo_line_to(Cr, 0.1, 0.84);
        cairo_close_path(Cr);
    };
    cairo_set_line_join(Cr, CAIRO_LINE_JOIN_ROUND);
    Shadow(Cr, Triangle);
    // The rim: a wider stroke in a dark shade under the filled shape.
    Triangle();
    Rgb(Cr, 0xB86A00);
    cairo_set_line_width(Cr, 0.13);
    cairo_stroke(Cr);
    Triangle();
    cairo_pattern_t* Fill = cairo_pattern_create_linear(0, 0.1, 0, 0.9);
    cairo_pattern_add_color_stop_rgb(Fill, 0, 1.0, 0.86, 0.35);
    cairo_pattern_add_color_stop_rgb(Fill, 1, 0.96, 0.62, 0.05);
    cairo_set_source(Cr, Fill);
    cairo_set_line_width(Cr, 0.09);
    cairo_stroke_preserve(Cr);
    cairo_fill(Cr);
    cairo_pattern_destroy(Fill);

    Rgb(Cr, 0x3A2A00);
    RoundBar(Cr, 0.5, 0.36, 0.6, 0.095);
    Dot(Cr, 0.5, 0.72, 0.055);
}

// The program icon: a rounded card with a sky, hills and a sun, as a
// picture the program shows and keeps.
void ProgramIcon(cairo_t* Cr)
{
    auto Card = [&] {
        const double R = 0.16, X0 = 0.06, Y0 = 0.06, X1 = 0.94, Y1 = 0.94;
        cairo_new_sub_path(Cr);
        cairo_arc(Cr, X1 - R, Y0 + R, R, -M_PI / 2, 0);
        cairo_arc(Cr, X1 - R, Y1 - R, R, 0, M_PI / 2);
        cairo_arc(Cr, X0 + R, Y1 - R, R, M_PI / 2, M_PI);
        cairo_arc(Cr, X0 + R, Y0 + R, R, M_PI, 1.5 * M_PI);
        cairo_close_path(Cr);
    };
    Card();
    cairo_pattern_t* Sky = cairo_pattern_create_linear(0, 0.06, 0, 0.94);
    cairo_pattern_add_color_stop_rgb(Sky, 0, 0.25, 0.55, 0.95);
    cairo_pattern_add_color_stop_rgb(Sky, 1, 0.62, 0.85, 1.0);
    cairo_set_source(Cr, Sky);
    cairo_fill_preserve(Cr);
    cairo_pattern_destroy(Sky);
    cairo_save(Cr);
    cairo_clip(Cr);
    Rgb(Cr, 0xFFD23C);
    Dot(Cr, 0.7, 0.32, 0.12);
    Rgb(Cr, 0x2E9E4A);
    cairo_move_to(Cr, 0.0, 0.75);
    cairo_curve_to(Cr, 0.25, 0.48, 0.45, 0.5, 0.62, 0.72);
    cairo_curve_to(Cr, 0.75, 0.6, 0.9, 0.6, 1.0, 0.7);
    cairo_line_to(Cr, 1.0, 1.0);
    cairo_line_to(Cr, 0.0, 1.0);
    cairo_close_path(Cr);
    cairo_fill(Cr);
    Rgb(Cr, 0x1F7A37);
    cairo_move_to(Cr, 0.0, 0.86);
    cairo_curve_to(Cr, 0.3, 0.7, 0.6, 0.78, 1.0, 0.82);
    cairo_line_to(Cr, 1.0, 1.0);
    cairo_line_to(Cr, 0.0, 1.0);
    cairo_close_path(Cr);
    cairo_fill(Cr);
    cairo_restore(Cr);
    Card();
    Rgb(Cr, 0xFFFFFF);
    cairo_set_line_width(Cr, 0.05);
    cairo_stroke_preserve(Cr);
    Rgb(Cr, 0x1A3D73);
    cairo_set_line_width(Cr, 0.015);
    cairo_stroke(Cr);
}

// A button glyph: a dark arrow on magenta, whose bottom-left pixel tells
// the button the see-through colour; drawn without antialiasing so no
// pixel mixes the two.
void Arrow(cairo_t* Cr, bool Down)
{
    cairo_set_antialias(Cr, CAIRO_ANTIALIAS_NONE);
    Rgb(Cr, 0xFF00FF);
    cairo_paint(Cr);
    Rgb(Cr, 0x404040);
    const double Tip = Down ? 0.72 : 0.28, Base = Down ? 0.28 : 0.72;
    cairo_move_to(Cr, 0.5, Tip);
    cairo_line_to(Cr, 0.95, Base);
    cairo_line_to(Cr, 0.05, Base);
    cairo_close_path(Cr);
    cairo_fill(Cr);
}

void Put16(Bytes& B, unsigned V)
{
    B.push_back(V & 255);
    B.push_back((V >> 8) & 255);
}

void Put32(Bytes& B, unsigned V)
{
    Put16(B, V & 0xFFFF);
    Put16(B, V >> 16);
}

// An icon file whose entries are PNG pictures.
Bytes IconFile(const std::vector<int>& Sizes, const Painter& Paint)
{
    std::vector<Bytes> Images;
    for (int Size : Sizes)
        Images.push_back(Render(Size, Paint));
    Bytes Out;
    Put16(Out, 0);
    Put16(Out, 1);
    Put16(Out, unsigned(Sizes.size()));
    unsigned Offset = 6 + 16 * unsigned(Sizes.size());
    for (size_t I = 0; I < Sizes.size(); ++I) {
        Out.push_back(Sizes[I] >= 256 ? 0 : Sizes[I]);
        Out.push_back(Sizes[I] >= 256 ? 0 : Sizes[I]);
        Out.push_back(0);
        Out.push_back(0);
        Put16(Out, 1);
        Put16(Out, 32);
        Put32(Out, unsigned(Images[I].size()));
        Put32(Out, Offset);
        Offset += unsigned(Images[I].size());
    }
    for (const Bytes& Image : Images)
        Out.insert(Out.end(), Image.begin(), Image.end());
    return Out;
}

void Write(FILE* F, const char* Name, const Bytes& Data)
{
    std::fprintf(F, "inline const Byte %s[] = {", Name);
    for (size_t I = 0; I < Data.size(); ++I)
        std::fprintf(F, "%s%u,", I % 24 ? "" : "\n", Data[I]);
    std::fprintf(F, "\n};\n");
}

}

int main(int Argc, char** Argv)
{
    if (Argc != 2) {
        std::fprintf(stderr, "usage: %s <output .inc>\n", Argv[0]);
        return 2;
    }
    const std::string Temp = std::string(Argv[1]) + ".new";
    FILE* F = std::fopen(Temp.c_str(), "w");
    if (!F)
        return 1;
    std::fprintf(F, "// Made by SkinPictures at build time; do not edit.\n#pragma once\n");
    Write(F, "InformationPng", Render(64, Information));
    Write(F, "QuestionPng", Render(64, Question));
    Write(F, "ErrorPng", Render(64, Error));
    Write(F, "WarningPng", Render(64, Warning));
    Write(F, "ProgramIcon", IconFile({ 16, 32, 48 }, ProgramIcon));
    Write(F, "UpArrowPng", Render(9, [](cairo_t* Cr) { Arrow(Cr, false); }));
    Write(F, "DownArrowPng", Render(9, [](cairo_t* Cr) { Arrow(Cr, true); }));
    if (std::fclose(F) != 0)
        return 1;
    return std::rename(Temp.c_str(), Argv[1]) == 0 ? 0 : 1;
}
