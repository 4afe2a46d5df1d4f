// The byte search with its cancellation, and the worker's nested progress.
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <random>

namespace {

struct TSearchFixture {
    TOwnedPtr<TBytesStream> Raw;
    TOwnedPtr<TXCustomBufStream> Stream;
    TOwnedPtr<TXSearch> Search;

    explicit TSearchFixture(const std::vector<std::pair<Int64, TXByteArray>>& Put, Int64 Size = 4096)
    {
        std::vector<Byte> Bytes(size_t(Size), 0);
        for (const auto& [At, Pattern] : Put)
            std::copy(Pattern.begin(), Pattern.end(), Bytes.begin() + At);
        Raw.reset(New<TBytesStream>(Bytes));
        Stream.reset(New<TXCustomBufStream>(Raw.get(), 1000, 0));
        Search.reset(New<TXSearch>(nullptr));
        Search->Stream = Stream.get();
    }
};

TEST(Search, FindOnePattern)
{
    TSearchFixture F({ { 10, { 0xFF, 0xFF, 0xD9 } }, { 3000, { '<', 'x', 'm', 'l', '>' } } });
    const struct {
        TXByteArray Pattern;
        Int64 From, To, Expected;
    } Cases[] = {
        { { 0xFF, 0xD9 }, 0, 4095, 11 },
        { { 0xFF, 0xD9 }, 12, 4095, -1 },
        { { 0xFF, 0xD9 }, 0, 11, -1 }, // the match must end by To
        { { 0xFF, 0xD9 }, 0, 12, 11 },
        { { '<', 'x', 'm', 'l', '>' }, -500, 99999, 3000 },
        { { 0xFF }, 5000, 9000, -1 }, // From beyond the end
        { {}, 0, 100, -1 },
    };
    for (const auto& C : Cases)
        EXPECT_EQ(F.Search->Find(C.Pattern, C.From, C.To), C.Expected) << C.From << ".." << C.To;
    EXPECT_EQ(F.Search->FindFrom({ 0xFF, 0xFF, 0xD9 }, 0), 10);
    EXPECT_TRUE(F.Search->MatchAt({ 0xFF, 0xFF }, 10));
    EXPECT_TRUE(F.Search->MatchAt({}, 10));
    EXPECT_FALSE(F.Search->MatchAt({ 0, 0 }, 4095));
    EXPECT_TRUE(F.Search->RunAt(0, 10, 0));
    EXPECT_FALSE(F.Search->RunAt(0, 11, 0));
}

TEST(Search, FindAnyAtAlignedOffsets)
{
    const TXByteArray Short { 0xFF, 0xD8 }, Long { 0xFF, 0xD8, 0xFF, 0xE1 };
    // An atom header whose size bytes are masked out (but its top byte).
    const TXByteArray Atom { 0, 0, 0, 0x14, 'f', 't', 'y', 'p' }, BigAtom { 1, 0, 0, 0x14, 'f', 't', 'y', 'p' };
    const TXByteArray AnySize { 0, 0, 0, 0, 'f', 't', 'y', 'p' }, SizeMask { 0xFF, 0, 0, 0 };
    const struct {
        const char* Name;
        std::vector<std::pair<Int64, TXByteArray>> Put;
        TXByteArrays Patterns;
        Int64 From, Base, Step, Expected;
        Integer Index;
        Int64 To = 4095;
        TXByteArrays Masks = {};
    } Cases[] = {
        { "offset 1 is never a candidate", { { 1, Short }, { 1024, Short } }, { Short }, 1, 0, 512, 1024, 0 },
        { "the shorter pattern of lower index wins", { { 512, Long } }, { Short, Long }, 0, 0, 512, 512, 0 },
        { "a longer pattern of lower index wins when complete", { { 512, Long } }, { Long, Short }, 0, 0, 512, 512, 0 },
        { "its prefix alone gives the shorter", { { 512, Short } }, { Long, Short }, 0, 0, 512, 512, 1 },
        { "base shifts the candidates", { { 100, Short }, { 612, Short } }, { Short }, 0, 100, 512, 100, 0 },
        { "no step", { { 0, Short } }, { Short }, 0, 0, 0, -1, -1 },
        { "nothing there", {}, { Short }, 0, 0, 512, -1, -1 },
        { "a match ending exactly at To", { { 1024, Long } }, { Long }, 0, 0, 512, 1024, 0, 1027 },
        { "a match one byte past To", { { 1024, Long } }, { Long }, 0, 0, 512, -1, -1, 1026 },
        { "a longer pattern cut by To gives the shorter", { { 512, Long } }, { Long, Short }, 0, 0, 512, 512, 1, 514 },
        { "a longer pattern ending at To wins", { { 512, Long } }, { Long, Short }, 0, 0, 512, 512, 0, 515 },
        { "masked bytes match any value", { { 512, Atom } }, { AnySize }, 0, 0, 512, 512, 0, 4095, { SizeMask } },
        { "unmasked bits still compare", { { 512, BigAtom } }, { AnySize }, 0, 0, 512, -1, -1, 4095, { SizeMask } },
        { "a pattern without a mask compares whole", { { 512, Atom } }, { Short, AnySize }, 0, 0, 512, -1, -1, 4095,
            { {} } },
        { "a masked first byte", { { 1536, { 0x77, 'x' } } }, { { 0x00, 'x' } }, 0, 0, 512, 1536, 0, 4095, { { 0 } } },
    };
    for (const auto& C : Cases) {
        TSearchFixture F(C.Put);
        Integer Index = 99;
        EXPECT_EQ(F.Search->FindAny(C.Patterns, C.Masks, Index, C.From, C.To, C.Base, C.Step), C.Expected) << C.Name;
        EXPECT_EQ(Index, C.Index) << C.Name;
    }
}

TEST(Search, ATerminatedWorkerCancels)
{
    TSearchFixture F({ { 2048, { 0xFF, 0xD8 } } });
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    F.Search->Worker = IPtr<IXWorker>(Worker.get());
    Integer Index;
    EXPECT_EQ(F.Search->FindAny({ { 0xFF, 0xD8 } }, Index, 0, 4095, 0, 512), 2048);
    Worker->Cancel();
    EXPECT_EQ(F.Search->FindAny({ { 0xFF, 0xD8 } }, Index, 0, 4095, 0, 512), -1);
    EXPECT_EQ(F.Search->Find({ 0xFF, 0xD8 }, 0, 4095), -1);
    F.Search->Worker = nullptr;
}


// What the searches must answer, worked out byte by byte over the bytes.
Int64 NaiveFind(const std::vector<Byte>& Bytes, const TXByteArray& Pattern, Int64 From, Int64 To)
{
    const Int64 Last = std::min<Int64>(To, Int64(Bytes.size()) - 1);
    for (Int64 P = std::max<Int64>(From, 0); P + Int64(Pattern.size()) - 1 <= Last; ++P)
        if (std::equal(Pattern.begin(), Pattern.end(), Bytes.begin() + P))
            return P;
    return -1;
}

Int64 NaiveFindAny(const std::vector<Byte>& Bytes, const TXByteArrays& Patterns, Integer& Index, Int64 From, Int64 To,
    Int64 Step)
{
    const Int64 Last = std::min<Int64>(To, Int64(Bytes.size()) - 1);
    for (Int64 C = (std::max<Int64>(From, 0) + Step - 1) / Step * Step; C <= Last; C += Step)
        for (size_t P = 0; P < Patterns.size(); ++P)
            if (C + Int64(Patterns[P].size()) - 1 <= Last &&
                std::equal(Patterns[P].begin(), Patterns[P].end(), Bytes.begin() + C)) {
                Index = Integer(P);
                return C;
            }
    Index = -1;
    return -1;
}

TEST(Search, LookingThroughWindowsAnswersAsReadingEachByte)
{
    // Bytes of a small alphabet, so that partial matches, matches across
    // windows and across the blocks of a block stream are common; windows
    // of odd sizes, and the stream seen directly and through blocks.
    std::mt19937 Random(42);
    std::vector<Byte> Bytes(20000);
    for (Byte& B : Bytes)
        B = Byte("\xFF\xD8\xD9\xE1IM*"[Random() % 7]);
    const TXByteArrays Patterns { { 0xFF, 0xD8 }, { 0xFF, 0xD8, 0xFF, 0xE1 }, { 'I', 'I', '*' },
        { 'M', 'M', '*', 0xFF } };
    TOwnedPtr<TBytesStream> Raw(New<TBytesStream>(Bytes));
    for (const Integer Window : { 7, 512, 1001, 4096 }) {
        TOwnedPtr<TXCustomBufStream> Buffered(New<TXCustomBufStream>(Raw.get(), Window, 0));
        // Blocks of the volume in a shuffled order: the logical bytes.
        TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
        std::vector<Byte> Logical;
        for (const auto& [Start, Length] :
            std::vector<std::pair<Int64, Int64>> { { 9000, 3001 }, { 0, 4500 }, { 15000, 5000 }, { 4500, 1 } }) {
            Blocks->Add(Start, Length);
            Logical.insert(Logical.end(), Bytes.begin() + Start, Bytes.begin() + Start + Length);
        }
        TOwnedPtr<TXBlockStream> ThroughBlocks(New<TXBlockStream>(Buffered.get(), Blocks.get()));
        for (auto [Stream, Expected] : { std::pair<TStream*, const std::vector<Byte>*> { Buffered.get(), &Bytes },
                 std::pair<TStream*, const std::vector<Byte>*> { ThroughBlocks.get(), &Logical } }) {
            TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
            Search->Stream = Stream;
            const Int64 Size = Int64(Expected->size());
            for (Integer K = 0; K < 300; ++K) {
                const Int64 From = Int64(Random() % (Size + 100)) - 50;
                const Int64 To = From + Int64(Random() % 3000);
                const TXByteArray& P = Patterns[Random() % Patterns.size()];
                ASSERT_EQ(Search->Find(P, From, To), NaiveFind(*Expected, P, From, To))
                    << Window << " " << From << ".." << To;
                const Int64 Step = K % 2 ? 512 : 3;
                Integer Index = 99, NaiveIndex = 99;
                const Int64 Found = Search->FindAny(Patterns, Index, From, To, 0, Step);
                ASSERT_EQ(Found, NaiveFindAny(*Expected, Patterns, NaiveIndex, From, To, Step))
                    << Window << " " << From << ".." << To;
                ASSERT_EQ(Index, NaiveIndex);
            }
        }
    }
}

struct TProgressFixture : TObject {
    TOwnedPtr<TXWorker> Worker { New<TXWorker>(IPtr<IInterface>()) };
    IPtr<IXProgress> P = Worker->GetProgress();
    std::vector<Integer> Notified;

    TProgressFixture()
    {
        P->Subscribe(TXProgressChangedAspect::StaticClass(), TXNotificationHandler::Of<&TProgressFixture::Seen>(this));
    }
    ~TProgressFixture() override { P->UnsubscribeMethod(TXNotificationHandler::Of<&TProgressFixture::Seen>(this)); }
    void Seen(IXNotification* N)
    {
        Notified.push_back(static_cast<TXProgressChangedAspect*>(N->GetAspect())->Position);
    }
};

TEST(WorkerProgress, SectionsShareTheScale)
{
    TProgressFixture F;
    ASSERT_NE(dynamic_cast<TXWorkerProgress*>(F.P.Get()), nullptr);
    F.P->BeginSection(u"FAT", 35);
    F.P->SetPercent(50);
    EXPECT_EQ(F.P->GetPosition(), 175);
    F.P->SetPercent(20); // the bar does not move back
    EXPECT_EQ(F.P->GetPosition(), 175);
    F.P->EndSection();
    EXPECT_EQ(F.P->GetPosition(), 350);
    F.P->BeginSectionPart(15);
    F.P->EndSection();
    EXPECT_EQ(F.P->GetPosition(), 500);
    F.P->BeginSectionPart(50);
    F.P->SetMax(4);
    F.P->StepIt();
    F.P->StepIt();
    EXPECT_EQ(F.P->GetPosition(), 750);
    F.P->EndSection();
    F.P->EndSection();
    EXPECT_EQ(F.P->GetPosition(), 1000);
    EXPECT_EQ(F.Notified, (std::vector<Integer> { 175, 350, 500, 625, 750, 1000 }));

    F.Notified.clear();
    F.P->ResetProgress();
    EXPECT_EQ(F.P->GetPosition(), 0);
    EXPECT_TRUE(F.Notified.empty());
    F.P->SetPerMille(500);
    EXPECT_EQ(F.Notified, (std::vector<Integer> { 500 }));
}

TEST(WorkerProgress, StepsNeverPassTheirParentOrTheScale)
{
    TProgressFixture F;
    F.P->BeginSectionPart(50); // 0..500
    F.P->SetMax(4);
    for (int Unit = 0; Unit < 4; ++Unit) {
        F.P->BeginUnitSectionPart();
        F.P->SetPercent(100);
        EXPECT_LE(F.P->GetPosition(), 500) << Unit;
        F.P->EndSection();
    }
    EXPECT_EQ(F.P->GetPosition(), 500);
    F.P->EndSection();
    F.P->BeginSectionPart(200); // more than what is left
    F.P->SetPercent(100);
    EXPECT_EQ(F.P->GetPosition(), 1000);
    F.P->AddMax(0xFFFFFFFFu);
    F.P->StepBy(0xFFFFFFFFu);
    EXPECT_LE(F.P->GetPosition(), 1000);
}

}

TEST(WorkerProgress, EachStepCoversItsOwnUnit)
{
    const struct {
        Byte Percent;
        Cardinal Units;
        std::vector<Integer> HalfAndWhole; // overall value at 50 % and 100 % of each step
    } Cases[] = {
        { 50, 4, { 62, 125, 187, 250, 312, 375, 437, 500 } },
        { 100, 3, { 166, 333, 500, 667, 833, 1000 } },
    };
    for (const auto& C : Cases) {
        TProgressFixture F;
        F.P->BeginSectionPart(C.Percent);
        F.P->SetMax(C.Units);
        std::vector<Integer> Seen;
        for (Cardinal Unit = 0; Unit < C.Units; ++Unit) {
            F.P->BeginUnitSectionPart();
            F.P->SetPercent(50);
            Seen.push_back(F.P->GetPosition());
            F.P->SetPercent(100);
            Seen.push_back(F.P->GetPosition());
            F.P->EndSection();
            EXPECT_EQ(F.P->GetPosition(), Seen.back()) << Unit;
        }
        EXPECT_EQ(Seen, C.HalfAndWhole) << C.Units << " units";
    }
}
