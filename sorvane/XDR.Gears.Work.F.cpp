#include "sorvane/XDR.Gears.Work.F.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "core/XCode.Trek.h"
#include "core/XCore.Errors.h"

X_REGISTER_CLASS(TXDRDirClusterObject)
X_REGISTER_CLASS(TXDRDirClusterList)
X_REGISTER_CLASS(TXDRFATDisk)

// --- directory clusters ---------------------------------------------------------------

void TXDRDirClusterObject::Create()
{
    inherited::Create();
    FEntries = MakeOwned<TXFileSystemEntryList>();
}

void TXDRDirClusterObject::Dump(TStrings* Lines)
{
    Lines->Add(u"Cluster: " + UIntToStr(Cluster));
    for (Integer I = 0; I < FEntries->Count(); ++I)
        FEntries->GetItem(I)->Dump(Lines);
}

// --- the disk ------------------------------------------------------------------------------

void TXDRFATDisk::Create()
{
    // Made first: the inherited construction clears them.
    FFAT = MakeOwned<TXFAT>();
    FDirClusters = MakeOwned<TXDRDirClusterList>();
    inherited::Create();
}

void TXDRFATDisk::Clear()
{
    FFAT->Clear();
    FDirClusters->Clear();
    DirRead.clear();
    Valid = false;
}

bool TXDRFATDisk::Open(TXCustomDiskIO* AIO)
{
    IO = AIO;
    Clear();
    TXBootSector Boot {};
    Boot[11] = 0x00;
    Boot[12] = 0x02; // 512 bytes per sector
    Boot[13] = 1; // 1 sector per cluster
    TStream* Stream = IO ? IO->Stream() : nullptr;
    bool Answer = Stream != nullptr;
    if (Answer) {
        const String& Name = IO->Info.FileSystemName;
        if (!Name.empty() && Name.find(u"FAT") == String::npos) {
            Answer = false;
        } else {
            TXBootSector Read {};
            Answer = XGuarded(xecReadFailed, false, [&] {
                Stream->Seek(0, soBeginning);
                return Stream->Read(Read.data(), Int64(Read.size())) == Int64(Read.size());
            });
            if (Answer)
                Boot = Read;
            const Byte Type = FATTypeOfBoot(Boot);
            Answer = Answer && (Type == xftFAT16 || Type == xftFAT32);
        }
        // A damaged boot sector gives the source no sizes: it keeps those
        // of the prepared record.
        const bool Usable = BootGeometryUsable(Boot);
        if (IO->Info.BytesPerSector == 0)
            IO->Info.BytesPerSector = Usable ? Cardinal(BootBytesPerSector(Boot)) : 512;
        if (IO->Info.ClusterSize == 0)
            IO->Info.ClusterSize = Usable ? Cardinal(BootClusterSize(Boot)) : 512;
    }
    FFAT->BootSector = Boot;
    if (Answer)
        Answer = XGuarded(xecReadFailed, false, [&] { return FFAT->Open(Stream, IO->Info); });
    if (!Answer)
        FFAT->Clusters.Clear();
    Valid = Answer;
    DirRead.assign(size_t(FFAT->Clusters.Count()), false);
    TraceOpen();
    return Answer;
}

void TXDRFATDisk::TraceOpen()
{
    if (!CodeTrekEnabled())
        return;
    TXCodeTrek* Trek = CodeTrek();
    Trek->Add(Valid ? u"FileSystem Valid: True" : u"FileSystem Valid: False");
    Trek->Add(u"Disk Info:");
    if (IO)
        IO->Info.Describe(Trek->Lines());
    Trek->Add(u"Boot Info:");
    DescribeBoot(FFAT->BootSector, Trek->Lines());
    if (!Valid)
        return;
    Trek->Add(u"Cluster State: 0 = Available, 1 = Start, 2 = Bad, 3 = Next, 4 = Last, 5 = AvailableFolder");
    Trek->Add(u"<FAT>");
    const TXClusterArray& Clusters = FFAT->Clusters;
    for (Int64 First = 0; First < Clusters.Count(); First += 16) {
        String Line = IntToStr(First) + u" - ";
        for (Int64 C = First; C < std::min(First + 16, Clusters.Count()); ++C)
            Line += IntToHex(UInt64(Clusters[C].Next), 8) + u"-" + IntToStr(Integer(Clusters[C].State)) + u" ";
        Trek->Add(Line);
    }
    Trek->Add(u"</FAT>");
}
