// The FAT reader and both listings over arbitrary volume bytes: opening,
// the tree walk with existing and deleted files, then the lost search.
// Every reported byte must lie inside the volume.
#include "rtl/Streams.h"
#include "rtl/testing/FuzzTarget.h"
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

// A 4 KiB FAT16 volume with a file, a folder holding a deleted file, and a
// free cluster that reads as a lost folder.
void FuzzSeeds(TFuzzSeeds& Seeds)
{
    RawBytes Volume;
    auto Text = [&](const char* Bytes, size_t Count) { Volume.append(Bytes, Count); };
    auto Zeros = [&](size_t Count) { Volume.append(Count, '\0'); };
    Text("\xeb<\x90MSWIN4.1\x00\x02\x01\x01\x00\x01\x10\x00\x08\x00\xf8\x01", 23);
    Zeros(15);
    Text(")", 1);
    Zeros(4);
    Text("NO NAME    FAT16   ", 19);
    Zeros(448);
    Text("U\xaa\xf8\xff\xff\xff\x03\x00\xff\xff\xff\xff", 12);
    Zeros(502);
    Text("A       JPG \x00\x00\x00`!X!X\x00\x00\x00`!X\x02\x00X\x02\x00\x00"
         "D          \x10\x00\x00\x00`!X!X\x00\x00\x00`!X\x04",
        59);
    Zeros(453);
    Text("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01", 12);
    Zeros(580);
    Text("\xff\xd9XXXXXX", 8);
    Zeros(424);
    Text(".          \x10\x00\x00\x00`!X!X\x00\x00\x00`!X\x04", 27);
    Zeros(5);
    Text("..         \x10\x00\x00\x00`!X!X\x00\x00\x00`!X", 26);
    Zeros(6);
    Text("\xe5       TXT \x00\x00\x00`!X!X\x00\x00\x00`!X\x05\x00"
         "d",
        29);
    Zeros(419);
    Text("deletedabc", 10);
    Zeros(502);
    Text(".          \x10\x00\x00\x00`!X!X\x00\x00\x00`!X\x06", 27);
    Zeros(5);
    Text("C       BIN \x00\x00\x00`!X!X\x00\x00\x00`!X\x05\x00Z", 29);
    Zeros(451);
    Seeds.Add("fat16", std::move(Volume));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
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
