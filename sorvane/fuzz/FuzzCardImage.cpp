#include "rtl/testing/FuzzTarget.h"
#include "rtl/StringList.h"
#include "sorvane/XCore.IO.Classes.h"
#include <fstream>

namespace {

// The card image file every input is written to, removed at the end.
struct TImageFile {
    std::string Name;
    TImageFile()
    {
        char Template[] = "/tmp/fuzz-card-XXXXXX";
        const int Fd = ::mkstemp(Template);
        if (Fd >= 0)
            ::close(Fd);
        Name = Template;
    }
    ~TImageFile() { ::unlink(Name.c_str()); }
};

const std::string& ImageFile()
{
    static const TImageFile File;
    return File.Name;
}

TXDiskInfoRecord SampleInfo()
{
    TXDiskInfoRecord Info;
    Info.RootPath = u"/dev/sdb1";
    Info.VolumeSerial = 0x1234ABCD;
    Info.FileSystemFlags = 0x2 | 0x4;
    Info.MaxComponentLength = 255;
    Info.VolumeName = u"CARD <&>";
    Info.FileSystemName = u"FAT";
    Info.BytesPerSector = 512;
    Info.SectorsPerCluster = 4;
    Info.ClusterSize = 2048;
    Info.TotalClusters = 700;
    Info.TotalBytes = 1433600;
    Info.FreeClusters = 12;
    Info.FreeBytes = 24576;
    Info.DiskSize = 1474560;
    return Info;
}

} // namespace

// The input as a card image: its trailer is searched and read, then its
// boot sector tells the file system.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::ofstream(ImageFile(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(Data), std::streamsize(Size));
    TOwnedPtr<TXFileDiskIO> Card(New<TXFileDiskIO>(nullptr));
    if (Card->Open(UTF8ToString(ImageFile()), xofRead)) {
        TOwnedPtr<TStringList> Lines(MakeOwned<TStringList>());
        Card->Info.Describe(Lines.get());
        Card->Close();
    }
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    const UTF8String Trailer = SampleInfo().SaveXml();
    Seeds.Add("trailer-only.bin", Trailer);
    Seeds.AddFromTool("fat12.bin", { "mkfs.fat", "-C", "-F", "12", "{}", "1440" }, {}, 2048);
    for (auto& [Name, Bytes] : std::vector(Seeds.Items()))
        if (Name == "fat12.bin")
            Seeds.Add("fat12-trailer.bin", Bytes + Trailer);
}
