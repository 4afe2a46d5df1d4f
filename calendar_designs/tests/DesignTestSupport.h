// Shared helpers of the design page tests: items made and attached in one
// call, pictures saved for a person to look at.
#pragma once
#include "calendar_designs/XDesign.Page.h"
#include "calendar_designs/XDesign.Pictures.h"
#include "gdi/PngImage.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <string>

namespace DesignTesting {

// A new item of class T, set up by Setup before it joins Page (as the
// stored-text reader does).
template<class T, class F>
T* AddItem(TXPageObject* Page, F Setup)
{
    T* Item = New<T>();
    Setup(Item);
    Item->AttachToPage(Page);
    return Item;
}

inline TOwnedPtr<TXPageObject> NewPage(Integer W, Integer H, Integer L = 0, Integer T = 0, Integer R = 0,
    Integer B = 0)
{
    TOwnedPtr<TXPageObject> Page(New<TXPageObject>());
    Page->SetPageSize(W, H, L, T, R, B);
    Page->GetBgItem()->SetColorProp(100, 0xFFFFFF);
    return Page;
}

// build/test-pictures/designs/<Name>.
inline std::filesystem::path DesignPicturePath(const std::string& Name)
{
    const std::filesystem::path P = Testing::TestPicturePath("designs") / Name;
    std::filesystem::create_directories(P.parent_path());
    return P;
}

inline void SaveDesignPicture(TBitmap* Bitmap, const std::string& Name)
{
    TOwnedPtr<TBitmap> Copy(MakeOwned<TBitmap>());
    Copy->Assign(Bitmap);
    Copy->SetPixelFormat(pf24bit);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(Copy.get());
    Png->SaveToFile(S(DesignPicturePath(Name).string()));
}

// The page rendered on screen after a full layout pass.
inline TOwnedPtr<TBitmap> Render(TXPageObject* Page)
{
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    EXPECT_TRUE(Page->RenderPage(B.get(), true));
    return B;
}

// A one-colour picture of W x H, stored as a PNG.
inline void FillPicture(TXImageObject* Image, Integer W, Integer H, TColor Color)
{
    TOwnedPtr<TBitmap> B(MakeOwned<TBitmap>());
    B->SetSize(W, H);
    B->Fill(Color);
    TOwnedPtr<TPngImage> Png(MakeOwned<TPngImage>());
    Png->Assign(B.get());
    ASSERT_TRUE(Image->LoadFromObject(Png.get()));
}

// The colour without its fourth byte.
inline TColor At(TBitmap* B, Integer X, Integer Y)
{
    return B->Pixel(X, Y) & 0xFFFFFF;
}

}
