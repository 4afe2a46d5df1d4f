// The scan threads: the body every scan shares (the source, the found
// files kept and named, the end) and the deep scan's phases.
#include "sorvane/XDR.Gears.Work.h"
#include "rtl/DateTime.h"
#include "rtl/Format.h"
#include "rtl/StrUtils.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XDR.Work.S.h"
#include <cmath>

X_REGISTER_CLASS(TXCustomDRScanThread)
X_REGISTER_CLASS(TXDRDeepScanThread)

namespace {

size_t HashOfBlocks(TXBlocks* Blocks)
{
    size_t H = 0;
    auto Mix = [&H](UInt64 V) { H ^= std::hash<UInt64>()(V) + 0x9E3779B97F4A7C15ull + (H << 6) + (H >> 2); };
    for (Integer I = 0; I < Blocks->Count(); ++I) {
        Mix(UInt64(Blocks->Items(I).Start));
        Mix(UInt64(Blocks->Items(I).Length));
    }
    return H;
}


} // namespace

// ---- TXCustomDRScanThread ----

void TXCustomDRScanThread::InitThread()
{
    inherited::InitThread();
    FSearch = MakeOwned<TXSearch>(nullptr);
}

void TXCustomDRScanThread::AfterConstruction()
{
    inherited::AfterConstruction();
    FSearch->Worker = Worker();
}

void TXCustomDRScanThread::Unsubscribe(IXWorker* AWorker)
{
    inherited::Unsubscribe(AWorker);
    AWorker->UnsubscribeMethod(FoundHandler());
    if (FSearch)
        FSearch->Worker = nullptr;
}

bool TXCustomDRScanThread::AcceptSource()
{
    // What a restore that opens the device again must find there.
    Data->ScannedDevice = DeviceName;
    Data->ScannedSize = -1;
    Data->ScannedSerial = 0;
    if (!DeviceName.empty())
        if (auto* Disk = DynamicCast<TXBufDiskStream>(Data->DiskIO()->Stream())) {
            Data->ScannedSize = Disk->Device()->Size();
            Data->ScannedSerial = Data->DiskIO()->Info.VolumeSerial;
        }
    return true;
}

bool TXCustomDRScanThread::Stopped()
{
    if (IsAppTerminated())
        return true;
    IPtr<IXWorker> W = Worker();
    return !W || W->GetTerminated();
}

void TXCustomDRScanThread::Execute()
{
    TXDRThreadErrorRecord Record;
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    const TDateTime Start = Now();
    Data->Elapsed = Start;
    ClearXError();
    OperationName = u"Scan";
    W->SetName(OperationName);
    FoundCount = 0;
    FKeptBlocks.clear();
    // A failure that carries no code of its own (out of memory, say)
    // must not end the work as a success.
    XGuarded(xecUnspecified, false, [&] {
        W->Subscribe(TXDRFoundFileAspect::StaticClass(), FoundHandler());
        if (OpenSource())
            DoScan();
    });
    Data->Elapsed = Now() - Start;
    DetachSource();
    if (IsAppTerminated()) {
        // The application is closing: nobody waits for the end notice.
        Silent = true;
        ReleaseWorker();
        return;
    }
    W->UnsubscribeMethod(FoundHandler());
    W->SetName(OperationName);
    if (!W->GetCancelled())
        FinishFromRecord();
    ReleaseWorker();
}

bool TXCustomDRScanThread::BlocksKept(TXDRFileCollection* Files, TXBlocks* Blocks)
{
    TOwnedPtr<TXBlocksComparer> Comparer(New<TXBlocksComparer>());
    auto [First, Last] = FKeptBlocks.equal_range(HashOfBlocks(Blocks));
    for (auto It = First; It != Last; ++It)
        if (It->second < Files->Count() && Comparer->Compare(Files->Items(It->second)->Blocks(), Blocks) == 0)
            return true;
    return false;
}

void TXCustomDRScanThread::FoundFileReceived(IXNotification* Notification)
{
    auto* Aspect = DynamicCast<TXDRFoundFileAspect>(Notification->GetAspect());
    TXDRFileItem* Found = Aspect ? Aspect->Item() : nullptr;
    TXDRFileCollection* Files = Data->FoundFiles;
    if (!Found || !Files || Found->Blocks()->Size() == 0)
        return;
    Integer Index;
    if (!Data->Extensions()->Find(LowerCase(Found->Extension), Index))
        return;
    TXDRFileItem* Item;
    {
        // The main thread reads items while this adds: both hold the lock.
        TMonitorLock Lock(Files);
        if (IsDeletedEntry(Found->Status) && BlocksKept(Files, Found->Blocks()))
            return;
        Item = Files->Add();
        Item->Assign(Found);
        if (Item->Name.empty()) {
            ++FoundCount;
            Item->Name = Format(u"%.6d", { FoundCount }) + Item->Extension;
        }
        FKeptBlocks.emplace(HashOfBlocks(Item->Blocks()), Files->Count() - 1);
    }
    if (IPtr<IXWorker> W = Worker())
        W->PostNotification(NewNotification(New<TXDRAddFileAspect>(Item)).Get());
}

// ---- TXDRDeepScanThread ----

void TXDRDeepScanThread::DoScan()
{
    OperationName = u"DeepScan";
    FoundCount = 0;
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    TXCustomDiskIO* Source = Data->Source;
    TStream* Stream = Source->Stream();
    Search()->Stream = Stream;
    Data->UsedBlocks()->Clear();
    const Int64 Size = Stream->Size();
    IPtr<IXProgress> Progress = W->GetProgress();

    if (!Data->FATDisk()->Open(Source)) {
        ScanRange(Size);
        return;
    }
    if (Stopped())
        return;
    {
        TXProgressScope Listing(Progress.Get(), 35);
        ListFATFiles(Data->FATDisk(), Data->UsedBlocks(), W.Get());
    }
    if (Stopped())
        return;
    {
        TXProgressScope Lost(Progress.Get(), 15);
        ListLostFiles(Data->FATDisk(), W.Get());
    }
    if (Stopped())
        return;
    TXProgressScope Carving(Progress.Get(), 50);
    if (Data->UsedBlocks()->Count() == 0) {
        ScanRange(Size);
        return;
    }
    if (Stopped())
        return;
    Data->UsedBlocks()->Pack();
    // Up to the end of the last used block: its last byte is scanned too.
    const TXBlock Last = Data->UsedBlocks()->Items(Data->UsedBlocks()->Count() - 1);
    const Int64 UsedEnd = Last.Start + Last.Length;
    if (Stopped())
        return;
    {
        TXProgressScope Free(Progress.Get(), 50);
        ScanRange(Size);
    }
    if (Stopped())
        return;
    TXProgressScope Used(Progress.Get(), 50);
    Data->UsedBlocks()->Clear();
    ScanRange(UsedEnd);
}

void TXDRDeepScanThread::ScanRange(Int64 End)
{
    ScanEnd = End;
    TXCustomBufStream* Stream = Data->Source->Stream();
    struct TDetach {
        TXCustomBufStream* S;
        ~TDetach() { S->OnFill = nullptr; }
    } Detach { Stream };
    if (End > 0)
        Stream->OnFill = [this](TObject*, Int64 Start) { ReadProgress(Start); };
    else
        Stream->OnFill = nullptr;
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    if (Data->UsedBlocks()->Count() > 0)
        Blocks->Complement(Data->UsedBlocks(), End);
    else
        Blocks->Add(0, End);
    if (!Stopped())
        ScanBlocks(Search(), Stream, Blocks.get(), Data->FoundFiles);
}

void TXDRDeepScanThread::ReadProgress(Int64 Offset)
{
    XGuarded(xecNone, false, [&] {
        IPtr<IXWorker> W = Worker();
        if (!W || ScanEnd <= 0)
            return;
        const double Percent = std::nearbyint(double(Offset) * 100.0 / double(ScanEnd));
        W->GetProgress()->SetPercent(Byte(std::clamp(Percent, 0.0, 100.0)));
    });
    CheckXError();
}
