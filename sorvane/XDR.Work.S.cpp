#include "sorvane/XDR.Work.S.h"
#include "rtl/StrUtils.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include "sorvane/XDR.Work.P.h"
#include "sorvane/XDR.Work.S.Pool.h"
#include <deque>
#include <memory>
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
    explicit TFoundIndex(TXDRFileCollection* AFiles)
        : Files(AFiles)
        , Comparer(New<TXBlocksComparer>())
    { }

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
        if (Files->Count() < Known) { // cleared meanwhile
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

// What the scan knows of a file the moment its carver has found its end.
struct TFoundFile {
    Int64 Hit = 0;
    Int64 End = 0;
    Integer Signature = 0;
    TOwnedPtr<TXDRScanFormat> Format;
    TOwnedPtr<TXDRFoundFileAspect> Aspect;
};

// The signature search and the carving, shared by both ways of scanning.
class TCarving {
public:
    TCarving(TXSearch* ASearch, TStream* AVolume, TXBlocks* ABlocks)
        : Search(ASearch)
        , Volume(AVolume)
        , Blocks(ABlocks)
    {
        BuildSignatures(Patterns, Masks, Map, AllScanFormats);
    }

    bool HasPatterns() const { return !Patterns.empty(); }

    // The next signature from Pos on; -1 when none (or cancelled).
    Int64 FindHit(Int64 Pos, Int64 Last, Integer& Signature)
    {
        Integer PatternIndex = -1;
        const Int64 Hit = Search->FindAny(Patterns, Masks, PatternIndex, Pos, Last, 0, SectorSize);
        Signature = SignatureOfPattern(Map, PatternIndex);
        return Hit;
    }

    // The file at Hit, or false when the carver finds none there (End is
    // then the carver's answer).
    bool Carve(Int64 Hit, Integer Signature, TFoundFile& File)
    {
        File.Hit = Hit;
        File.Signature = Signature;
        File.Format.reset(NewScanFormat(FormatClassOf(FormatOfSignature(Signature))));
        File.End = File.Format->FindEnd(Search, Hit);
        if (File.End <= Hit || WorkerTerminated(Search))
            return false;
        File.Aspect.reset(New<TXDRFoundFileAspect>());
        TXDRFileItem* Item = File.Aspect->Item();
        Item->ImageSize.Create(File.Format->Width, File.Format->Height);
        SetScanValidStatus(Item->Status);
        Item->Extension = File.Format->ExtensionText();
        Item->Blocks()->Clip(Blocks, Blocks->PhysicalOf(Hit), Blocks->PhysicalOf(File.End));
        return true;
    }

    // Settles a file whose thumbnail was made (or failed): announces it
    // unless it is a JPEG that failed. Answers whether it was announced.
    bool Settle(TFoundFile& File, bool Made, const TXSize& PictureSize)
    {
        TXDRFileItem* Item = File.Aspect->Item();
        if (File.Signature == 0 && !Made)
            return false;
        SetThumbnailResult(Item->Status, Made);
        if (Item->ImageSize.IsEmpty())
            Item->ImageSize = PictureSize;
        Announce(Search, File.Aspect.release());
        return true;
    }

    TXSearch* Search;
    TStream* Volume;
    TXBlocks* Blocks;
    TXByteArrays Patterns, Masks;
    TXDRSignatureMap Map;
};

// Each file in turn on the scanning thread: carve, check, announce.
void ScanInTurn(TCarving& Carving, Int64 Last, TFoundIndex& Found)
{
    TXSearch* Search = Carving.Search;
    Int64 Pos = 0;
    do {
        Integer Signature = 0;
        const Int64 Hit = Carving.FindHit(Pos, Last, Signature);
        Pos = Hit;
        if (Hit >= 0 && !IsAppTerminated() && !WorkerTerminated(Search)) {
            Int64 Next = Hit + SectorSize;
            TFoundFile File;
            if (Carving.Carve(Hit, Signature, File)) {
                TXDRFileItem* Item = File.Aspect->Item();
                if (Found.Contains(Item->Blocks(), Item->Extension)) {
                    if (Signature == 0)
                        Next = File.End + 1;
                } else {
                    TXSize PictureSize;
                    const bool Made =
                        File.Format->MakeThumbnail(PictureSize, Item->Thumbnail(), Item->Blocks(), Carving.Volume);
                    if (Carving.Settle(File, Made, PictureSize) && Signature == 0)
                        Next = File.End + 1;
                }
            }
            Pos = Next;
        }
        if (IsAppTerminated())
            break;
    } while (!WorkerTerminated(Search) && Pos != -1 && Pos <= Last);
}

// ---- the scan with its thumbnails on a pool ----

// Bytes copied for the pool: a file larger than this makes its thumbnail
// on the scanning thread, and the scan holds at most the second figure for
// files not yet settled.
constexpr Int64 PooledFileLimit = Int64(64) << 20;
constexpr Int64 HeldBytesLimit = Int64(256) << 20;

struct TCandidate : TFoundFile {
    // How its thumbnail is made: at its turn on the scanning thread (it
    // reads nothing, is too large, or is a duplicate already), on the
    // pool, or not at all because its bytes could not be read.
    enum class TPicture { AtTurn, Pooled, Unread } Picture = TPicture::AtTurn;
    TOwnedPtr<TXDRFileBytesStream> Bytes;
    TXDRPicturePool::TJob Job;
    Int64 Held = 0;
};

// The scan goes on while the pool makes the thumbnails, as if every JPEG
// passes its check (the search then resumes after its end). Files are
// settled in scan order on the scanning thread. A JPEG that fails its
// check sends the search back to where the scan in turn goes on: the
// sector after its hit; everything found beyond it is dropped unseen.
class TPooledScan {
public:
    TPooledScan(TCarving& ACarving, TFoundIndex& AFound, Integer Threads)
        : Carving(ACarving)
        , Found(AFound)
        , Pool(Threads)
        , MaxPending(size_t(8 * Threads))
    { }

    ~TPooledScan()
    {
        // No job may run on after its file is freed.
        for (auto& C : Pending)
            if (C->Picture == TCandidate::TPicture::Pooled)
                Pool.Withdraw(&C->Job);
    }

    void Run(Int64 Last)
    {
        TXSearch* Search = Carving.Search;
        Int64 Pos = 0;
        bool Searching = Last >= 0;
        for (;;) {
            if (IsAppTerminated() || WorkerTerminated(Search))
                return;
            if (SettleReady(Pos)) {
                Searching = Pos <= Last;
                continue;
            }
            if (Searching && Pending.size() < MaxPending && Held < HeldBytesLimit) {
                Integer Signature = 0;
                const Int64 Hit = Carving.FindHit(Pos, Last, Signature);
                if (Hit < 0 || IsAppTerminated() || WorkerTerminated(Search)) {
                    Searching = false;
                    continue;
                }
                Pos = Hit + SectorSize;
                auto C = std::make_unique<TCandidate>();
                if (Carving.Carve(Hit, Signature, *C)) {
                    if (Signature == 0)
                        Pos = C->End + 1;
                    Prepare(*C);
                    Held += C->Held;
                    Pending.push_back(std::move(C));
                }
                Searching = Pos <= Last;
                continue;
            }
            if (Pending.empty())
                return;
            Pool.Wait(&Pending.front()->Job);
        }
    }

private:
    TCarving& Carving;
    TFoundIndex& Found;
    TXDRPicturePool Pool;
    const size_t MaxPending;
    std::deque<std::unique_ptr<TCandidate>> Pending;
    Int64 Held = 0;

    // Reads the bytes its thumbnail needs (as the scan in turn would read
    // them at this point) and hands them to the pool.
    void Prepare(TCandidate& C)
    {
        TXDRFileItem* Item = C.Aspect->Item();
        Int64 From, To;
        if (Found.Contains(Item->Blocks(), Item->Extension) ||
            !C.Format->ThumbnailBytes(Item->Blocks()->Size(), From, To) || To - From > PooledFileLimit)
            return;
        std::vector<Byte> Bytes(size_t(To - From));
        TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(Carving.Volume, Item->Blocks()));
        bool Read = false;
        try {
            File->Seek(From, soBeginning);
            Read = File->Read(Bytes.data(), To - From) == To - From;
        } catch (const std::exception&) {
            // As the picture's own reading reports a read that raises.
        }
        if (!Read) {
            CheckXError();
            C.Picture = TCandidate::TPicture::Unread;
            return;
        }
        C.Held = To - From;
        C.Bytes.reset(New<TXDRFileBytesStream>(From, std::move(Bytes)));
        C.Picture = TCandidate::TPicture::Pooled;
        C.Job.Format = C.Format.get();
        C.Job.Image = Item->Thumbnail();
        C.Job.Bytes = C.Bytes.get();
        Pool.Submit(&C.Job);
    }

    // Settles the files at the head whose thumbnails are done. True when a
    // JPEG failed its check: Pos is then where the search goes on, and
    // every file after it is dropped.
    bool SettleReady(Int64& Pos)
    {
        while (!Pending.empty()) {
            TCandidate& C = *Pending.front();
            if (C.Picture == TCandidate::TPicture::Pooled && !Pool.Done(&C.Job))
                return false;
            std::unique_ptr<TCandidate> Head = std::move(Pending.front());
            Pending.pop_front();
            Held -= Head->Held;
            if (!Settle(*Head)) {
                Pos = Head->Hit + SectorSize;
                DropPending();
                return true;
            }
            if (IsAppTerminated() || WorkerTerminated(Carving.Search))
                return false;
        }
        return false;
    }

    // False for a JPEG that failed its check.
    bool Settle(TCandidate& C)
    {
        TXDRFileItem* Item = C.Aspect->Item();
        if (Found.Contains(Item->Blocks(), Item->Extension))
            return true;
        TXSize PictureSize;
        bool Made = false;
        switch (C.Picture) {
        case TCandidate::TPicture::AtTurn:
            Made = C.Format->MakeThumbnail(PictureSize, Item->Thumbnail(), Item->Blocks(), Carving.Volume);
            break;
        case TCandidate::TPicture::Unread: Item->Thumbnail()->Clear(); break;
        case TCandidate::TPicture::Pooled:
            Made = C.Job.Made;
            PictureSize = C.Job.PictureSize;
            // What the job met goes into this thread's record now, in
            // scan order; a device gone still raises.
            if (C.Job.Codes.Code != 0)
                SetXError(C.Job.Codes.Code, C.Job.Codes.SubCode, C.Job.Codes.Text, C.Job.Codes.Code == xecDeviceGone);
            break;
        }
        return Carving.Settle(C, Made, PictureSize) || C.Signature != 0;
    }

    void DropPending()
    {
        for (auto& C : Pending)
            if (C->Picture == TCandidate::TPicture::Pooled)
                Pool.Withdraw(&C->Job);
        Pending.clear();
        Held = 0;
    }
};

// Reads ahead while the scan runs, when the volume is a buffered stream
// that does not already.
struct TReadAheadScope {
    TXCustomBufStream* Stream = nullptr;
    TReadAheadScope(TStream* Volume, TXSearch* Search, TXScanReadAhead Mode)
    {
        auto* Buffered = dynamic_cast<TXCustomBufStream*>(Volume);
        if (Mode == TXScanReadAhead::Off || !Buffered || Buffered->ReadingAhead())
            return;
        Stream = Buffered;
        IXWorker* Worker = Search->Worker.Get();
        Stream->StartReadAhead([Worker] { return Worker && Worker->GetTerminated(); }, Mode == TXScanReadAhead::Always);
    }
    ~TReadAheadScope()
    {
        if (Stream)
            Stream->StopReadAhead();
    }
};

} // namespace

void ScanBlocks(TXSearch* Search, TStream* VolumeStream, TXBlocks* Blocks, TXDRFileCollection* FoundFiles,
    const TXScanThreads& Threads)
{
    if (!Search || !Blocks || Blocks->Count() == 0 || Blocks->Size() <= 0)
        return;
    TCarving Carving(Search, VolumeStream, Blocks);
    if (!Carving.HasPatterns())
        return;

    TOwnedPtr<TXBlockStream> Stream(New<TXBlockStream>(VolumeStream, Blocks));
    Search->Stream = Stream.get();
    struct TDetach {
        TXSearch* S;
        ~TDetach() { S->Stream = nullptr; }
    } Detach { Search };
    TReadAheadScope ReadAhead(VolumeStream, Search, Threads.ReadAhead);

    TFoundIndex Found(FoundFiles);
    const Int64 Last = Stream->Size() - 1;
    const Integer Pictures = Threads.Pictures < 0 ? TXDRPicturePool::DefaultThreads() : Threads.Pictures;
    if (Pictures == 0) {
        ScanInTurn(Carving, Last, Found);
        return;
    }
    TPooledScan Pooled(Carving, Found, Pictures);
    Pooled.Run(Last);
}
