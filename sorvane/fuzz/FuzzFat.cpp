// The FAT reader and both listings over arbitrary volume bytes: opening,
// the tree walk with existing and deleted files, then the lost search.
// Every reported byte must lie inside the volume.
#include "rtl/Streams.h"
#include "rtl/Units.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Gears.Work.F.h"
#include <cstddef>
#include <cstdint>

namespace {

// A source over the fuzzer's bytes.
class TFuzzSource : public TXCustomDiskIO {
public:
    void Attach(TXCustomBufStream* Stream) { FStream = Stream; }
};

struct TCheck : TObject {
    Int64 Size = 0;
    void Seen(IXNotification* N)
    {
        TXBlocks* Blocks = static_cast<TXDRFoundFileAspect*>(N->GetAspect())->Item()->Blocks();
        for (Integer I = 0; I < Blocks->Count(); ++I)
            if (Blocks->Items(I).Start < 0 || Blocks->Items(I).Start + Blocks->Items(I).Length > Size)
                __builtin_trap();
    }
};

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static const bool Ready = (InitializeUnits(), true);
    (void)Ready;
    TOwnedPtr<TFuzzSource> Source(New<TFuzzSource>(nullptr));
    auto* Bytes = New<TBytesStream>(std::vector<Byte>(Data, Data + Size));
    auto* Buffered = New<TXCustomBufStream>(Bytes, 4096, xsoOwned);
    Buffered->RaiseReadErrors = 0;
    Source->Attach(Buffered);
    TCheck Check;
    Check.Size = Int64(Size);
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCheck::Seen>(&Check));
    TOwnedPtr<TXDRFATDisk> Disk(New<TXDRFATDisk>());
    if (Disk->Open(Source.get())) {
        TOwnedPtr<TXBlocks> Used(New<TXBlocks>());
        ListFATFiles(Disk.get(), Used.get(), Worker.get());
        ListLostFiles(Disk.get(), Worker.get());
        for (Integer I = 0; I < Used->Count(); ++I)
            if (Used->Items(I).Start + Used->Items(I).Length > Int64(Size))
                __builtin_trap();
    }
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCheck::Seen>(&Check));
    return 0;
}
