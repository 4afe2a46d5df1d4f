#include "sorvane/XCore.IO.Classes.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Search.h"
#include "core/XCore.Strings.h"
#include "rtl/SafeSave.h"
#include <cstring>

X_REGISTER_CLASS(TXStreamIO)
X_REGISTER_CLASS(TXCustomDiskIO)
X_REGISTER_CLASS(TXFileDiskIO)
X_REGISTER_CLASS(TXDiskIO)
X_REGISTER_CLASS(TXDiskAspect)

// --- TXStreamIO ---------------------------------------------------------------

void TXStreamIO::BeforeDestruction()
{
    Close();
    inherited::BeforeDestruction();
}

bool TXStreamIO::Open(const String& APath, Byte AOpenFlags)
{
    FPath = APath;
    FOpenFlags = AOpenFlags;
    Close();
    try {
        DoOpen();
        return true;
    } catch (const std::exception&) {
        Close();
        return false;
    }
}

bool TXStreamIO::Check()
{
    bool Ok = false;
    try {
        Ok = DoCheck();
    } catch (const std::exception&) {
        Ok = false;
    }
    if (!Ok)
        Close();
    return Ok;
}

void TXStreamIO::Close()
{
    try {
        DoClose();
    } catch (const std::exception&) {
        FStream = nullptr;
    }
}

void TXStreamIO::DoClose()
{
    TXCustomBufStream* Old = FStream;
    FStream = nullptr;
    if (Old)
        Old->Free();
}

bool TXStreamIO::SaveToStream(TStream* Target)
{
    if (!FStream || !Target)
        return false;
    try {
        if (FStream->Size() > 0)
            Target->CopyFrom(FStream, 0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TXStreamIO::SaveToFile(const String& FileName)
{
    if (!FStream)
        return false;
    try {
        // Written beside the file and put in its place when whole: a failed
        // save, or a save of an image over itself, keeps the old file.
        TOwnedPtr<TReplacementFileStream> File(New<TReplacementFileStream>(FileName));
        if (!SaveToStream(File.get()))
            return false;
        File->Commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// --- TXCustomDiskIO -------------------------------------------------------------

namespace {
// The 8 bytes at Offset as text without surrounding blanks; empty when they
// cannot be read.
std::string TypeTextAt(TStream* Stream, Int64 Offset)
{
    char Text[8] {};
    try {
        if (Stream->Seek(Offset, soBeginning) == Offset && Stream->Read(Text, 8) != 8)
            std::memset(Text, 0, sizeof Text);
    } catch (const std::exception&) {
        std::memset(Text, 0, sizeof Text);
    }
    std::string S(Text, 8);
    size_t B = S.find_first_not_of(" \0", 0, 2);
    if (B == std::string::npos)
        return {};
    size_t E = S.find_last_not_of(" \0", std::string::npos, 2);
    return S.substr(B, E - B + 1);
}
}

void TXCustomDiskIO::DetectFileSystem()
{
    const bool HadNoError = GetXErrorCode() == 0;
    const String& Name = Info.FileSystemName;
    FileSystem = Name == u"NTFS" ? xfsNTFS
        : Name == u"CDFS"        ? xfsCDFS
        : Name == u"FAT32"       ? xfsFAT32
        : Name == u"FAT"         ? xfsFAT
        : Name == u"exFAT"       ? xfsExFAT
        : Name == u"HFS"         ? xfsHFS
                                 : xfsNone;
    if (FStream) {
        if (FileSystem < xfsFAT12) {
            std::string T = TypeTextAt(FStream, 54);
            if (T == "FAT12")
                FileSystem = xfsFAT12;
            else if (T == "FAT16")
                FileSystem = xfsFAT16;
        }
        if (FileSystem < xfsFAT12 && TypeTextAt(FStream, 82) == "FAT32")
            FileSystem = xfsFAT32;
        if (FileSystem == xfsNone && TypeTextAt(FStream, 3) == "EXFAT")
            FileSystem = xfsExFAT;
    }
    if (HadNoError)
        ClearXError();
}

// --- TXFileDiskIO -----------------------------------------------------------------

void TXFileDiskIO::DoOpen()
{
    const bool Writable = (FOpenFlags & xofWrite) != 0;
    const Word Mode = Writable ? Word(fmOpenReadWrite | fmShareExclusive) : Word(fmOpenRead | fmShareDenyWrite);
    FStream = New<TXBufFileStream>(FPath, Mode, Cardinal(0666), xSourceBufferSize);
    Info.Clear();
    Info.TotalBytes = FStream->Size();
    Info.DiskSize = Info.TotalBytes;

    TOwnedPtr<TXCustomWorker> Worker(New<TXCustomWorker>(IPtr<IInterface>()));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = FStream;
    Search->Worker = IPtr<IXWorker>(Worker.get());
    // A file shorter than the window is searched from its start.
    const Int64 From = std::max<Int64>(Info.DiskSize - xCardImageTrailerWindow, 0);
    const Int64 At = Search->Find({ '<', 'x', 'm', 'l', '>' }, From, Info.DiskSize - 1);
    Search->Worker = nullptr;
    if (At >= 0) {
        FStream->Seek(At, soBeginning);
        Info.LoadXml(xStr::StreamToUTF8(FStream, -1).Bytes);
        Info.DiskSize = FStream->Size();
    }
    DetectFileSystem();
}

// --- TXDiskIO -----------------------------------------------------------------------

void TXDiskIO::DoOpen()
{
    Info.Clear();
    auto* Disk = New<TXBufDiskStream>(NewRawDevice(FPath), FPath, xSourceBufferSize, FOpenFlags);
    FStream = Disk;
    Info = Disk->Info();
    DetectFileSystem();
}

bool TXDiskIO::DoCheck()
{
    return Open(FPath, FOpenFlags);
}

void TXDiskIO::WriteInfo(TStream* Target)
{
    UTF8String Xml = Info.SaveXml();
    Target->WriteBuffer(Xml.data(), Int64(Xml.size()));
}

bool TXDiskIO::SaveToStream(TStream* Target)
{
    try {
        if (!inherited::SaveToStream(Target))
            return false;
        WriteInfo(Target);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// --- TXDiskAspect -------------------------------------------------------------------

void TXDiskAspect::Create(const String& ADisk, Byte AFlag, Int64 ASize)
{
    inherited::Create();
    Disk = ADisk;
    Flag = AFlag;
    Size = ASize;
}

bool TXDiskAspect::AssignFrom(TXObject* Source)
{
    auto* S = DynamicCast<TXDiskAspect>(Source);
    if (!S)
        return inherited::AssignFrom(Source);
    Disk = S->Disk;
    Flag = S->Flag;
    Size = S->Size;
    return true;
}
