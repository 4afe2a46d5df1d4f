#include "sorvane/XDR.Work.S.h"
#include "rtl/StrUtils.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XDR.Work.P.h"
#include <unordered_map>

namespace {

constexpr Int64 SectorSize = 512;

size_t HashOf(TXBlocks* Blocks, const String& LowerExtension)
{
    size_t H = std::hash<String>()(LowerExtension);
    auto Mix = [&H](UInt64 V) { H ^= std::hash<UInt64>()(V) + 0x9E3779B97F4A7C15ull + (H << 6) + (H >> 2); };
    for (Integer I = 0; I < Blocks->Count(); ++I) {
        const TXBlock B = Blocks->Items(I);
        Mix(UInt64(B.Start));
        Mix(UInt64(B.Length));
    }
    return H;
}

// The found files by their blocks and extension, so that the duplicate
// test does not compare each new file with every other. Items the
// collection gains during the scan are taken in before each test.
class TFoundIndex {
public:
    explicit TFoundIndex(TXDRFileCollection* AFiles) : Files(AFiles), Comparer(New<TXBlocksComparer>()) { }

    bool Contains(TXBlocks* Blocks, const String& Extension)
    {
        if (!Files)
            return false;
        CatchUp();
        const String Lower = LowerCase(Extension);
        auto [First, Last] = Index.equal_range(HashOf(Blocks, Lower));
        for (auto It = First; It != Last; ++It) {
            TXDRFileItem* Item = Files->Items(It->second);
            if (Comparer->Compare(Item->Blocks(), Blocks) == 0 && LowerCase(Item->Extension) == Lower)
                return true;
        }
        return false;
    }

private:
    void CatchUp()
    {
        if (Files->Count() < Known) {       // cleared meanwhile
            Index.clear();
            Known = 0;
        }
        for (; Known < Files->Count(); ++Known) {
            TXDRFileItem* Item = Files->Items(Known);
            Index.emplace(HashOf(Item->Blocks(), LowerCase(Item->Extension)), Known);
        }
    }

    TXDRFileCollection* Files;
    TOwnedPtr<TXBlocksComparer> Comparer;
    std::unordered_multimap<size_t, Integer> Index;
    Integer Known = 0;
};

bool WorkerTerminated(TXSearch* Search)
{
    return Search->Worker && Search->Worker->GetTerminated();
}

void Announce(TXSearch* Search, TXDRFoundFileAspect* Aspect)
{
    IPtr<IXNotification> N = NewNotification(Aspect, Search);
    if (Search->Worker)
        Search->Worker->Broadcast(N.Get());
}

} // namespace

void ScanBlocks(TXSearch* Search, TStream* VolumeStream, TXBlocks* Blocks, TXDRFileCollection* FoundFiles)
{
    if (!Search || !Blocks || Blocks->Count() == 0 || Blocks->Size() <= 0)
        return;
    TXByteArrays Patterns;
    TXDRSignatureMap Map;
    BuildSignatures(Patterns, Map, AllScanFormats);
    if (Patterns.empty())
        return;

    TOwnedPtr<TXBlockStream> Stream(New<TXBlockStream>(VolumeStream, Blocks));
    Search->Stream = Stream.get();
    struct TDetach {
        TXSearch* S;
        ~TDetach() { S->Stream = nullptr; }
    } Detach { Search };

    TFoundIndex Found(FoundFiles);
    const Int64 Last = Stream->Size() - 1;
    Int64 Pos = 0;
    do {
        Integer PatternIndex = -1;
        const Int64 Hit = Search->FindAny(Patterns, PatternIndex, Pos, Last, 0, SectorSize);
        Pos = Hit;
        if (Hit >= 0 && !IsAppTerminated() && !WorkerTerminated(Search)) {
            Int64 Next = Hit + SectorSize;
            TXSize PictureSize;
            const Integer Signature = SignatureOfPattern(Map, PatternIndex);
            TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(FormatClassOf(FormatOfSignature(Signature))));
            const Int64 End = Format->FindEnd(Search, Hit);
            if (End > Hit && !WorkerTerminated(Search)) {
                auto* Aspect = New<TXDRFoundFileAspect>();
                TOwnedPtr<TXDRFoundFileAspect> Owned(Aspect);
                TXDRFileItem* Item = Aspect->Item();
                Item->ImageSize.Create(Format->Width, Format->Height);
                SetScanValidStatus(Item->Status);
                Item->Extension = Format->ExtensionText();
                Item->Blocks()->Clip(Blocks, Blocks->PhysicalOf(Hit), Blocks->PhysicalOf(End));
                if (Found.Contains(Item->Blocks(), Item->Extension)) {
                    if (Signature == 0)
                        Next = End + 1;
                } else {
                    const bool Made = Format->MakeThumbnail(PictureSize, Item->Thumbnail(), Item->Blocks(), VolumeStream);
                    if (Signature == 0) {
                        if (Made) {
                            if (Item->ImageSize.IsEmpty())
                                Item->ImageSize = PictureSize;
                            SetThumbnailResult(Item->Status, true);
                            Announce(Search, Owned.release());
                            Next = End + 1;
                        }
                    } else {
                        SetThumbnailResult(Item->Status, Made);
                        if (Item->ImageSize.IsEmpty())
                            Item->ImageSize = PictureSize;
                        Announce(Search, Owned.release());
                    }
                }
            }
            Pos = Next;
        }
        if (IsAppTerminated())
            break;
    } while (!WorkerTerminated(Search) && Pos != -1 && Pos <= Last);
}
