// Shared helpers of the picture tests: a temporary folder, ImageMagick
// (the real /usr/bin/convert only) and byte access to files and streams.
#pragma once
#include "gdi/Bitmap.h"
#include "gdi/PngImage.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace GdiTest {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        FPath = fs::temp_directory_path() / ("gdi-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++));
        fs::create_directories(FPath);
    }
    ~TempDir()
    {
        std::error_code E;
        fs::remove_all(FPath, E);
    }
    std::string operator/(const std::string& Name) const { return (FPath / Name).string(); }

private:
    static inline int Counter = 0;
    fs::path FPath;
};

inline const char* ConvertTool = "/usr/bin/convert";

inline bool HaveConvert()
{
    return ::access(ConvertTool, X_OK) == 0;
}

#define REQUIRE_CONVERT()                                                                                              \
    do {                                                                                                               \
        if (!GdiTest::HaveConvert())                                                                                   \
            GTEST_SKIP() << "ImageMagick is not installed";                                                            \
    } while (0)

// Runs convert with the arguments (already quoted where needed); answers
// what it printed, or throws a test failure when it failed.
inline std::string Convert(const std::string& Args)
{
    TempDir Dir;
    std::string Out = Dir / "out.txt";
    std::string Command = std::string(ConvertTool) + " " + Args + " >'" + Out + "' 2>&1";
    int Rc = std::system(Command.c_str());
    std::ifstream In(Out);
    std::string Text((std::istreambuf_iterator<char>(In)), {});
    EXPECT_EQ(Rc, 0) << Command << "\n" << Text;
    return Text;
}

inline RawBytes ReadBytes(const std::string& File)
{
    std::ifstream In(File, std::ios::binary);
    return RawBytes((std::istreambuf_iterator<char>(In)), {});
}

inline void WriteBytes(const std::string& File, const RawBytes& Bytes)
{
    std::ofstream(File, std::ios::binary) << Bytes;
}

inline TOwnedPtr<TMemoryStream> StreamOf(const RawBytes& Bytes)
{
    TOwnedPtr<TMemoryStream> S(MakeOwned<TMemoryStream>());
    S->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    S->SetPosition(0);
    return S;
}

inline RawBytes BytesOf(TMemoryStream* S)
{
    return RawBytes(static_cast<const char*>(S->Memory()), size_t(S->Size()));
}

inline String Path(const std::string& File)
{
    return UTF8ToString(File);
}

// Blue, green, red and (for 32-bit bitmaps) the fourth byte of a pixel.
struct TPixel {
    int B, G, R, A;
};

inline TPixel PixelAt(const TBitmap* Bmp, Integer X, Integer Y)
{
    const Byte* P = Bmp->ScanLine(Y) + X * Bmp->BytesPerPixel();
    return { P[0], P[1], P[2], Bmp->BytesPerPixel() == 4 ? P[3] : -1 };
}

inline ::testing::AssertionResult Near(TPixel P, int R, int G, int B, int Tolerance)
{
    if (std::abs(P.R - R) <= Tolerance && std::abs(P.G - G) <= Tolerance && std::abs(P.B - B) <= Tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel rgb(" << P.R << "," << P.G << "," << P.B << ") is not within "
                                         << Tolerance << " of rgb(" << R << "," << G << "," << B << ")";
}

// Saves Bmp as <build tree>/test-pictures/Name (a PNG) for a person to look at.
inline void SavePicture(TBitmap* Bmp, const std::string& Name)
{
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Bmp);
    Png->SaveToFile(UTF8ToString(Testing::TestPicturePath(Name).string()));
}

// A bitmap of that format and size filled with one colour.
inline TOwnedPtr<TBitmap> SolidBitmap(TPixelFormat Format, Integer W, Integer H, TColor Color)
{
    TOwnedPtr<TBitmap> Bmp(MakeOwned<TBitmap>());
    Bmp->SetPixelFormat(Format);
    Bmp->SetSize(W, H);
    Bmp->Fill(Color);
    return Bmp;
}

// The box round every pixel that differs from Background (empty when none).
inline TRect InkBox(const TBitmap* Bmp, TColor Background)
{
    TRect Box { INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN };
    for (Integer Y = 0; Y < Bmp->Height(); ++Y)
        for (Integer X = 0; X < Bmp->Width(); ++X)
            if (Bmp->Pixel(X, Y) != Background) {
                Box.Left = std::min(Box.Left, X);
                Box.Top = std::min(Box.Top, Y);
                Box.Right = std::max(Box.Right, X + 1);
                Box.Bottom = std::max(Box.Bottom, Y + 1);
            }
    return Box.IsEmpty() ? TRect {} : Box;
}

} // namespace GdiTest
