#include "sorvane/XCore.Services.h"
#include "rtl/StringList.h"
#include "rtl/StrUtils.h"
#include "win/VolumeInfo.h"
#include "core/XCore.App.h"
#include "core/XCore.Errors.h"
#include "core/XCore.Qi.CRC.h"
#include "core/XCore.Strings.h"
#include <limits>

namespace {
// Trailer numbers are outside data: anything out of range reads as 0.
Cardinal ToCardinal(Int64 V)
{
    return V >= 0 && V <= Int64(std::numeric_limits<Cardinal>::max()) ? Cardinal(V) : 0;
}

Int64 ProductOrZero(Int64 Count, Cardinal Size)
{
    Int64 R;
    if (Count < 0 || __builtin_mul_overflow(Count, Int64(Size), &R))
        return 0;
    return R;
}

String Dec(UInt64 V)
{
    return S(std::to_string(V));
}
String Dec(Int64 V)
{
    return S(std::to_string(V));
}
}

const TXDiskInfoRecord::TFlagName TXDiskInfoRecord::FlagNames[15] = {
    { u"IsReadOnly", FILE_READ_ONLY_VOLUME },
    { u"IsCompressed", FILE_VOLUME_IS_COMPRESSED },
    { u"PreserveACLS", FILE_PERSISTENT_ACLS },
    { u"FilePreserveCase", FILE_CASE_PRESERVED_NAMES },
    { u"SupportsCaseSensitive", FILE_CASE_SENSITIVE_SEARCH },
    { u"SupportsFileCompression", FILE_FILE_COMPRESSION },
    { u"SupportsNamedStreams", FILE_NAMED_STREAMS },
    { u"SupportsSequentialWriteOnce", 0 },
    { u"SupportsEFS", FILE_SUPPORTS_ENCRYPTION },
    { u"SupportsObjectIDs", FILE_SUPPORTS_OBJECT_IDS },
    { u"SupportsReParsePoints", FILE_SUPPORTS_REPARSE_POINTS },
    { u"SupportsSparseFiles", FILE_SUPPORTS_SPARSE_FILES },
    { u"SupportsTransactions", 0 },
    { u"SupportsUnicode", FILE_UNICODE_ON_DISK },
    { u"SupportsQuotas", FILE_VOLUME_QUOTAS },
};

void TXDiskInfoRecord::Clear()
{
    *this = TXDiskInfoRecord {};
}

bool TXDiskInfoRecord::ReadVolume(TRawDevice& Device)
{
    Clear();
    RootPath = Device.Path();
    if (!Device.Active())
        return false;
    DiskSize = Device.Size();
    TVolumeInfo V;
    if (!ReadVolumeInfo(Device, V).Ok() || !V.Recognised())
        return false;
    BytesPerSector = V.BytesPerSector;
    SectorsPerCluster = V.SectorsPerCluster;
    ClusterSize = V.ClusterSize;
    TotalClusters = V.TotalClusters;
    FreeClusters = V.FreeClusters;
    TotalBytes = V.TotalBytes;
    FreeBytes = V.FreeBytes;
    VolumeSerial = V.VolumeSerial;
    MaxComponentLength = V.MaxComponentLength;
    FileSystemFlags = V.FileSystemFlags;
    VolumeName = V.VolumeName;
    FileSystemName = V.FileSystemName;
    return true;
}

bool TXDiskInfoRecord::ReadVolume(const String& Path)
{
    try {
        TOwnedPtr<TRawVolume> Volume(New<TRawVolume>());
        if (!Volume->Open(Path).Ok()) {
            Clear();
            RootPath = Path;
            return false;
        }
        return ReadVolume(*Volume);
    } catch (const std::exception&) {
        return false;
    }
}

bool TXDiskInfoRecord::ReadGeometry(TRawDevice& Device)
{
    if (!Device.Active() || Device.Size() <= 0)
        return false;
    BytesPerSector = Device.SectorSize();
    SectorsPerCluster = 1;
    ClusterSize = BytesPerSector;
    TotalClusters = Device.SectorCount();
    TotalBytes = Device.Size();
    DiskSize = TotalBytes;
    return true;
}

UTF8String TXDiskInfoRecord::SaveXml() const
{
    String Inner = xStr::TagElementCardinal(u"volume_serial", VolumeSerial) +
        xStr::TagElementCardinal(u"volume_max_length", MaxComponentLength) +
        xStr::TagElement(u"volume_name", VolumeName) + xStr::TagElement(u"file_system", FileSystemName) +
        xStr::TagElementCardinal(u"sector_size", BytesPerSector) +
        xStr::TagElementCardinal(u"cluster_size", ClusterSize) +
        xStr::TagElementInt64(u"total_clusters", TotalClusters) + xStr::TagElementInt64(u"free_clusters", FreeClusters);
    return StringToUTF8(xStr::TagBlock(u"xml", Inner));
}

void TXDiskInfoRecord::LoadXml(const UTF8String& Xml)
{
    Clear();
    String Text = UTF8ToString(Xml);
    auto Number = [&](const char16_t* Tag) { return xStr::TagInt64(Tag, Text); };
    VolumeSerial = ToCardinal(Number(u"volume_serial"));
    MaxComponentLength = ToCardinal(Number(u"volume_max_length"));
    BytesPerSector = ToCardinal(Number(u"sector_size"));
    ClusterSize = ToCardinal(Number(u"cluster_size"));
    TotalClusters = std::max<Int64>(Number(u"total_clusters"), 0);
    FreeClusters = std::max<Int64>(Number(u"free_clusters"), 0);
    VolumeName = xStr::XmlUnescape(xStr::TagText(u"volume_name", Text));
    FileSystemName = xStr::XmlUnescape(xStr::TagText(u"file_system", Text));
    if (BytesPerSector != 0)
        SectorsPerCluster = ClusterSize / BytesPerSector;
    TotalBytes = ProductOrZero(TotalClusters, ClusterSize);
    DiskSize = TotalBytes;
    FreeBytes = ProductOrZero(FreeClusters, ClusterSize);
}

void TXDiskInfoRecord::Describe(TStrings* Lines) const
{
    String Flags = u"Flags: " + Dec(UInt64(FileSystemFlags)) + u" ";
    for (const TFlagName& F : FlagNames)
        if (F.Flag != 0 && (FileSystemFlags & F.Flag) != 0)
            Flags += u", " + String(F.Name);
    Lines->Add(RootPath);
    Lines->Add(VolumeName);
    Lines->Add(FileSystemName);
    Lines->Add(u"Serial: " + Dec(UInt64(VolumeSerial)));
    Lines->Add(u"Max length: " + Dec(UInt64(MaxComponentLength)));
    Lines->Add(Flags);
    Lines->Add(String());
    Lines->Add(u"Sector size: " + Dec(UInt64(BytesPerSector)));
    Lines->Add(u"Cluster size: " + Dec(UInt64(ClusterSize)));
    Lines->Add(u"Sectors per cluster: " + Dec(UInt64(SectorsPerCluster)));
    Lines->Add(u"Total clusters: " + Dec(TotalClusters));
    Lines->Add(u"Total space: " + Dec(TotalBytes) + u" " + xStr::ByteSizeText(double(TotalBytes)));
    Lines->Add(u"Free clusters: " + Dec(FreeClusters));
    Lines->Add(u"Free space: " + Dec(FreeBytes) + u" " + xStr::ByteSizeText(double(FreeBytes)));
    Lines->Add(u"DiskSize: " + Dec(DiskSize) + u" " + xStr::ByteSizeText(double(DiskSize)));
}

bool ComputeCRC32(Cardinal& CRC, const void* Buffer, Int64 Length, bool Raise)
{
    bool Ok = false;
    CRC = 0;
    try {
        if (Length >= 0 && (Buffer || Length == 0))
            Ok = CRC32OfBuffer(CRC, Buffer, Length);
    } catch (const std::exception&) {
        Ok = false;
    }
    if (!Ok)
        CRC = 0;
    ReportXResult(Ok, 40, 0, {}, Raise);
    return Ok;
}

bool IsAppTerminated()
{
    TXQVCoreApp* App = QVCoreApp();
    return App && App->Terminated();
}
