// Icons: the icon file reader, icon handles and TIcon.
//
//     TIconFile File;
//     if (ReadIconFile(Bytes, File)) {
//         const size_t Best = SelectIconEntry(File, 48, 48, 32);
//         TIconImage Image;
//         if (ReadIconImage(File, Best, Image)) { ... }
//     }
//
// An icon file is a 6-byte header, 16-byte directory entries and, for each
// entry, a PNG or a DIB (colours at 1 to 32 bits, then a one-bit AND mask;
// its height counts both). Everything is checked against the bytes: a
// directory of at least one entry whose images lie inside the data, a DIB
// header matching its entry, sizes within the picture cap.
#pragma once
#include "gdi/Bitmap.h"
#include "win/Metrics.h"
#include <span>
#include <vector>


struct TIconEntry {
    Integer Width = 0; // a size byte of 0 stands for 256
    Integer Height = 0;
    Cardinal ColorCount = 0; // the 16-bit value at entry offset 2
    Word BitCount = 0;
    Cardinal Size = 0;
    Cardinal Offset = 0;
};

struct TIconFile {
    std::span<const Byte> Data; // borrowed: the whole file
    std::vector<TIconEntry> Entries;
};

// A decoded image: BGRA pixels top-down, and the AND mask (1 = the screen
// shows through). HasAlpha: the fourth bytes carry opacity (PNG, or a
// 32-bit DIB whose alpha is not all 0); else the mask and XOR colours rule.
struct TIconImage {
    Integer Width = 0, Height = 0;
    std::vector<Byte> Pixels; // Width x Height x 4
    std::vector<Byte> Mask; // Width x Height, 0 or 1
    bool HasAlpha = false;
};

// False for anything that is not a well-formed icon directory.
bool ReadIconFile(std::span<const Byte> Data, TIconFile& File);
// The entry that fits a Width x Height rectangle best on a device of
// BitsPerPixel colours: as the program has always chosen it, from the
// colour counts and the distances to the size asked for.
size_t SelectIconEntry(const TIconFile& File, Integer Width, Integer Height, Integer BitsPerPixel);
// False when the entry's image does not decode or does not match its entry.
bool ReadIconImage(const TIconFile& File, size_t Entry, TIconImage& Image);

// The icon size of the system, used when a request gives none.
constexpr Integer SystemIconSize = 32;

// Icon handles: numbers never reused; a bad handle fails.
struct HICON__;
using HICON = HICON__*;

struct ICONINFO {
    bool fIcon = true;
    Cardinal xHotspot = 0, yHotspot = 0;
    // Borrowed: copied into the icon. The mask's black pixels are opaque;
    // a colour bitmap of 32 bits with alpha is drawn by its alpha.
    TBitmap* hbmMask = nullptr;
    TBitmap* hbmColor = nullptr;
};

// Null when the bitmaps are missing, empty or of different sizes.
HICON CreateIconIndirect(const ICONINFO* Info);
bool DestroyIcon(HICON Icon);
// The icon's size; false for a bad handle.
bool GetIconSize(HICON Icon, Integer& Width, Integer& Height);

constexpr Cardinal DI_MASK = 1;
constexpr Cardinal DI_IMAGE = 2;
constexpr Cardinal DI_NORMAL = 3;

// Draws the icon stretched to Width x Height (its own size for 0) at
// (X, Y), through the canvas clip: blended by alpha when it has alpha,
// else the screen ANDed with the mask and XORed with the colours.
bool DrawIconEx(TCanvas* Canvas, Integer X, Integer Y, HICON Icon, Integer Width, Integer Height, Cardinal StepIfAniCur,
    void* FlickerFreeBrush, Cardinal Flags);

// LOGPIXELSX and LOGPIXELSY come with the screen's metrics.
constexpr Integer BITSPIXEL = 12;
// Bitmaps here are 32-bit capable at 96 dpi.
Integer GetDeviceCaps(TCanvas* Canvas, Integer Index);

// Draws the entry of the icon file that fits R best into R. Bad data draws
// nothing and answers false; raises EOutOfResources only when the icon
// cannot be made.
bool DrawIconData(TCanvas* Canvas, const TRect& R, std::span<const Byte> Data);

// TIcon: an icon file kept as its bytes; drawn with the entry that fits
// the target best. Its size is that of the entry for the system icon size.
class TIcon : public TGraphic {
    X_CLASS(TIcon, TGraphic)
public:
    void Create() override { }
    // Reads the rest of the stream; bytes that are no icon file raise
    // EInvalidGraphic and leave the icon as it was.
    void LoadFromStream(TStream* Stream) override;
    void SaveToStream(TStream* Stream) override;
    Integer Width() const override { return FWidth; }
    Integer Height() const override { return FHeight; }
    bool Empty() const override { return FData.empty(); }
    void Draw(TBitmap* Dest, const TRect& Rect) override;
    using TGraphic::Draw;
    void Assign(TPersistent* Source) override;
    const std::vector<Byte>& Data() const { return FData; }

private:
    std::vector<Byte> FData;
    Integer FWidth = 0, FHeight = 0;
};
