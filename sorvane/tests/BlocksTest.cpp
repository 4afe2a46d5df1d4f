// Block lists, the cursor over them, their copies and the split item.
#include "rtl/Streams.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Intervals.h"
#include "core/XCore.Streams.Containers.h"
#include <filesystem>
#include <fstream>
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>
#include <unistd.h>
#include <random>
#include <vector>

namespace {

using TPairs = std::vector<std::pair<Int64, Int64>>;

TOwnedPtr<TXBlocks> Make(const TPairs& Blocks)
{
    TOwnedPtr<TXBlocks> L(New<TXBlocks>());
    for (auto [S, N] : Blocks)
        L->TXList<TXBlock>::Add(TXBlock { S, N });
    return L;
}

TPairs Of(TXBlocks* L)
{
    TPairs Out;
    for (const TXBlock& B : *L)
        Out.emplace_back(B.Start, B.Length);
    return Out;
}

Int64 SumOf(TXBlocks* L)
{
    Int64 S = 0;
    for (const TXBlock& B : *L)
        S += B.Length;
    return S;
}

// The lookup as a walk from the first block, the way it is defined.
Int64 WalkPhysicalOf(TXBlocks* L, Int64 Logical, Integer& Index)
{
    Index = 0;
    if (L->Count() == 0 || Logical < 0)
        return -1;
    Int64 Remaining = Logical + 1;
    while (Remaining > 0 && Index < L->Count()) {
        const TXBlock& B = L->Items(Index);
        if (B.Length < Remaining) {
            Remaining -= B.Length;
            ++Index;
        } else {
            return B.Start + Remaining - 1;
        }
    }
    Index = L->Count() - 1;
    return L->Items(Index).Start + L->Items(Index).Length;
}

TEST(Blocks, AddMergesOnlyWithTheLastBlock)
{
    const struct {
        TPairs Before;
        Int64 Start, Length;
        TPairs After;
    } Cases[] = {
        { { { 10, 10 } }, 20, 5, { { 10, 15 } } },
        { { { 10, 10 } }, 9, 1, { { 9, 11 } } },
        { { { 10, 10 } }, 5, 2, { { 10, 10 }, { 5, 2 } } },
        { { { 10, 10 } }, 12, 3, { { 10, 10 } } },
        { { { 10, 10 } }, 21, 1, { { 10, 10 }, { 21, 1 } } },
        { { { 10, 10 } }, 20, 0, { { 10, 10 } } },
        { { { 10, 10 } }, 20, -4, { { 10, 10 } } },
        { { { 0, 5 }, { 10, 10 } }, 4, 2, { { 0, 5 }, { 10, 10 }, { 4, 2 } } },
        { {}, 7, 3, { { 7, 3 } } },
    };
    for (const auto& C : Cases) {
        auto L = Make(C.Before);
        L->Add(C.Start, C.Length);
        EXPECT_EQ(Of(L.get()), C.After) << C.Start << "," << C.Length;
        EXPECT_EQ(L->Size(), SumOf(L.get()));
    }
}

TEST(Blocks, PackComplementAndClip)
{
    auto L = Make({ { 30, 5 }, { 0, 10 }, { 10, 5 }, { 12, 1 } });
    L->Pack();
    EXPECT_EQ(Of(L.get()), (TPairs { { 0, 15 }, { 30, 5 } }));
    EXPECT_EQ(L->Size(), 20);

    const struct {
        TPairs Source;
        Int64 Limit;
        TPairs Result;
    } Complements[] = {
        { {}, 100, { { 0, 100 } } },
        { {}, 0, {} },
        { { { 0, 10 }, { 50, 10 } }, 100, { { 10, 40 }, { 60, 40 } } },
        { { { 20, 10 } }, 15, { { 0, 15 } } },
        { { { 0, 10 }, { 50, 10 } }, 55, { { 10, 40 } } },
        { { { 0, 10 }, { 50, 10 } }, 30, { { 10, 20 } } }, // a gap is cut at the limit too
        { { { 0, 10 }, { 50, 10 }, { 70, 5 } }, 65, { { 10, 40 }, { 60, 5 } } },
    };
    for (const auto& C : Complements) {
        auto Source = Make(C.Source);
        auto R = Make({});
        R->Complement(Source.get(), C.Limit);
        EXPECT_EQ(Of(R.get()), C.Result) << C.Limit;
        EXPECT_EQ(R->Size(), SumOf(R.get()));
    }

    const struct {
        Int64 From, To;
        TPairs Result;
    } Clips[] = {
        { 50, 249, { { 50, 50 }, { 200, 50 } } },
        { 150, 249, {} },
        { 60, 50, {} },
        { 250, 1000, { { 250, 50 } } },
        { 0, 99, { { 0, 100 } } },
        { 99, 200, { { 99, 1 }, { 200, 1 } } },
    };
    auto Source = Make({ { 0, 100 }, { 200, 100 } });
    for (const auto& C : Clips) {
        auto R = Make({ { 1, 1 } });
        R->Clip(Source.get(), C.From, C.To);
        EXPECT_EQ(Of(R.get()), C.Result) << C.From << ".." << C.To;
        EXPECT_EQ(R->Size(), SumOf(R.get()));
    }
}

TEST(Blocks, PhysicalOfGivesTheDefinedResults)
{
    auto L = Make({ { 100, 10 }, { 500, 0 }, { 300, 10 } });
    const struct {
        Int64 Logical, Physical;
        Integer Index;
    } Cases[] = {
        { 0, 100, 0 },
        { 9, 109, 0 },
        { 10, 300, 2 },
        { 19, 309, 2 },
        { 20, 310, 2 },
        { 25, 310, 2 },
        { -1, -1, 0 },
    };
    for (const auto& C : Cases) {
        Integer Index = -5;
        EXPECT_EQ(L->PhysicalOf(C.Logical, Index), C.Physical) << C.Logical;
        EXPECT_EQ(Index, C.Index) << C.Logical;
    }
    auto Empty = Make({});
    Integer Index = 3;
    EXPECT_EQ(Empty->PhysicalOf(0, Index), -1);
    EXPECT_EQ(Index, 0);
}

TEST(Blocks, PhysicalOfFollowsEveryKindOfChange)
{
    std::mt19937 Rng(7);
    auto L = Make({});
    for (int Round = 0; Round < 300; ++Round) {
        switch (Rng() % 5) {
        case 0: L->Add(Int64(Rng() % 5000), Int64(Rng() % 40)); break;
        case 1: L->TXList<TXBlock>::Add(TXBlock { Int64(Rng() % 5000), Int64(Rng() % 3) }); break;
        case 2:
            if (L->Count() > 0)
                L->Delete(Integer(Rng() % L->Count()));
            break;
        case 3:
            if (L->Count() > 0) {
                // In place, through the storage pointer.
                TXBlock* B = L->GetPItem(Integer(Rng() % L->Count()));
                B->Length = Int64(Rng() % 50);
                L->Recount();
            }
            break;
        case 4:
            if (Round % 40 == 0)
                L->Pack();
            break;
        }
        ASSERT_EQ(L->Size(), SumOf(L.get()));
        for (Int64 Logical : { Int64(0), Int64(Rng() % 200), L->Size() - 1, L->Size(), L->Size() + 9 }) {
            Integer A, B;
            Int64 Want = WalkPhysicalOf(L.get(), Logical, B);
            ASSERT_EQ(L->PhysicalOf(Logical, A), Want) << "round " << Round << " logical " << Logical;
            ASSERT_EQ(A, B);
        }
    }
}

TEST(Blocks, CursorWalksByteByByteAndSkipsEmptyBlocks)
{
    auto L = Make({ { 100, 2 }, { 200, 0 }, { 300, 1 } });
    TXBlockCursor C;
    C.Init(L.get());
    std::vector<Int64> Seen { C.Physical };
    while (C.Next())
        Seen.push_back(C.Physical);
    EXPECT_EQ(Seen, (std::vector<Int64> { 100, 101, 300 }));
    EXPECT_EQ(C.Logical, 3);
    EXPECT_TRUE(C.Eof());
    EXPECT_FALSE(C.Next());
    C.SetPosition(1);
    EXPECT_EQ(C.Physical, 101);
    C.SetPosition(2); // one on: a step
    EXPECT_EQ(C.Physical, 300);
    C.SetPosition(0);
    EXPECT_EQ(C.Physical, 100);
}

TEST(Blocks, CopyToAppendsInListOrderAndReportsFailures)
{
    TOwnedPtr<TMemoryStream> Volume(New<TMemoryStream>());
    std::string Bytes;
    for (int I = 0; I < 100; ++I)
        Bytes += char('a' + I % 26);
    Volume->WriteBuffer(Bytes.data(), Int64(Bytes.size()));
    auto L = Make({ { 10, 3 }, { 50, 0 }, { 0, 2 } });
    TOwnedPtr<TMemoryStream> Target(New<TMemoryStream>());
    EXPECT_TRUE(L->CopyTo(Volume.get(), Target.get()));
    EXPECT_EQ(std::string(static_cast<char*>(Target->Memory()), size_t(Target->Size())), "klmab");

    auto Beyond = Make({ { 95, 10 } });
    EXPECT_FALSE(Beyond->CopyTo(Volume.get(), Target.get()));
    EXPECT_NE(GetXErrorCode(), 0);
    ClearXError();
}

// A copy into a file replaces it only when whole.
TEST(Blocks, CopyToFileReplacesTheFileOnlyWithAWholeCopy)
{
    Testing::TTempFolder Dir;
    const std::string Name = (Dir / "copy.bin").string();
    auto Content = [&] {
        std::ifstream In(Name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(In)), {});
    };
    std::ofstream(Name, std::ios::binary) << "old";
    TOwnedPtr<TMemoryStream> Volume(New<TMemoryStream>());
    Volume->WriteBuffer("abcdefghijklmnop", 16);

    auto Beyond = Make({ { 0, 4 }, { 12, 10 } });
    EXPECT_FALSE(Beyond->CopyToFile(Volume.get(), S(Name)));
    EXPECT_NE(GetXErrorCode(), 0);
    ClearXError();
    EXPECT_EQ(Content(), "old");

    auto L = Make({ { 4, 3 }, { 0, 2 } });
    EXPECT_TRUE(L->CopyToFile(Volume.get(), S(Name)));
    EXPECT_EQ(Content(), "efgab");
    std::vector<std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Dir.Path()))
        Names.push_back(E.path().filename().string());
    EXPECT_EQ(Names, std::vector<std::string> { "copy.bin" });
}

TEST(Blocks, EqualityComparerAndSplitItemCopies)
{
    auto A = Make({ { 1, 2 }, { 3, 4 } });
    auto B = Make({ { 1, 2 }, { 3, 4 } });
    auto C = Make({ { 1, 2 }, { 3, 5 } });
    EXPECT_TRUE(A->Equals(B.get()));
    EXPECT_FALSE(A->Equals(C.get()));
    EXPECT_FALSE(A->Equals(nullptr));
    TXBlocksComparer Cmp;
    EXPECT_EQ(Cmp.Compare(A.get(), B.get()), 0);
    EXPECT_EQ(Cmp.Compare(A.get(), C.get()), -1);
    auto D = Make({ { 1, 2 } });
    EXPECT_EQ(Cmp.Compare(A.get(), D.get()), 1);

    TOwnedPtr<TCollection> Items(New<TCollection>(TXSplitItem::StaticClass()));
    auto* First = static_cast<TXSplitItem*>(Items->Add());
    auto* Second = static_cast<TXSplitItem*>(Items->Add());
    First->Blocks()->Add(0, 10);
    First->Blocks()->TXList<TXBlock>::Add(TXBlock { 10, 5 }); // touching, kept apart
    EXPECT_TRUE(Second->IsEmpty());
    Second->Assign(First);
    EXPECT_EQ(Of(Second->Blocks()), (TPairs { { 0, 10 }, { 10, 5 } }));
    EXPECT_EQ(Second->Size(), 15);
    Second->Clear();
    EXPECT_TRUE(Second->IsEmpty());
    EXPECT_EQ(Second->Size(), 0);
}

}
