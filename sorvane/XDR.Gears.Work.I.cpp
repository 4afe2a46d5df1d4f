#include "sorvane/XDR.Gears.Work.I.h"
#include "rtl/Format.h"
#include "rtl/SafeSave.h"
#include "rtl/StrUtils.h"
#include "win/RawVolume.h"
#include "win/Time.h"
#include "core/XSpark.Lg.h"
#include "sorvane/XCore.Services.h"
#include <cerrno>
#include <cmath>
#include <exception>
#include <functional>
#include <sys/stat.h>
#include <vector>

X_REGISTER_CLASS(TXDRClusterErrorDialog)
X_REGISTER_CLASS(TXDRDiskImageThread)

namespace {

TXDRClusterErrorDialog::TShowHook& ShowHook()
{
    static TXDRClusterErrorDialog::TShowHook Hook;
    return Hook;
}

String LgWord(Cardinal Id)
{
    return Lg() ? Lg()->GetWord(Id) : String();
}

// A language text with its arguments; the text as it stands when it does
// not format.
String WordFormat(Cardinal Id, std::initializer_list<TVarRec> Args)
{
    const String Text = LgWord(Id);
    String Out = Text;
    if (!XGuarded(xecNone, false, [&] { Out = Format(Text, Args); }))
        Out = Text;
    return Out;
}

// The image must not land on the card being read: neither the device node
// itself nor a file system that lives on the device.
bool TargetOnDevice(const String& Target, const String& Device)
{
    struct stat Node { };
    struct stat File { };
    const std::string D = StringToUTF8(Device);
    const std::string T = StringToUTF8(Target);
    if (::stat(D.c_str(), &Node) == 0 && ::stat(T.c_str(), &File) == 0) {
        if (File.st_dev == Node.st_dev && File.st_ino == Node.st_ino)
            return true;
        if (S_ISBLK(Node.st_mode) && S_ISBLK(File.st_mode) && File.st_rdev == Node.st_rdev)
            return true;
    }
    return FolderOnDevice(ExtractFilePath(Target).empty() ? String(u".") : ExtractFilePath(Target), Device);
}

// Writes Count bytes; a short write records 45 with errno and raises.
void WriteImage(TStream* File, const void* Buffer, Int64 Count, const String& Name)
{
    errno = 0;
    if (File->Write(Buffer, Count) == Count)
        return;
    SetXError(xecWriteFailed, errno != 0 ? errno : ENOSPC, Name, true);
}

} // namespace

// ---- TXDRClusterErrorDialog ----

Integer TXDRClusterErrorDialog::ShowModalForm()
{
    if (const TShowHook Hook = ShowHook())
        Hook(*this);
    else if (Choice == 0)
        Choice = 1;
    if (Choice < 1 || Choice > 4)
        Choice = 1;
    SkipCount = std::max<Int64>(SkipCount, 1);
    return 1;
}

TXDRClusterErrorDialog::TShowHook TXDRClusterErrorDialog::SetShowHook(TShowHook Hook)
{
    return std::exchange(ShowHook(), std::move(Hook));
}

// ---- TXDRDiskImageThread ----

void TXDRDiskImageThread::InitThread()
{
    inherited::InitThread();
    FErrorDialog = MakeOwned<TXDRClusterErrorDialog>();
}

void TXDRDiskImageThread::PostLog()
{
    const String Line = std::exchange(LogLine, String());
    if (IPtr<IXWorker> W = Worker())
        W->PostNotification(NewNotification(New<TXLogStringAspect>(Line)).Get());
}

void TXDRDiskImageThread::ShowErrorDialog()
{
    Synchronize([this] { FErrorDialog->ShowModalForm(); });
}

void TXDRDiskImageThread::WriteErrorRange()
{
    if (FFirstFailed == FLastFailed)
        LogLine = LgWord(XDRImageWords::FailedCluster) + u": " + IntToStr(FFirstFailed);
    else
        LogLine = LgWord(XDRImageWords::FailedClusters) + u": " + IntToStr(FFirstFailed) + u"-" + IntToStr(FLastFailed);
    PostLog();
    FFirstFailed = FLastFailed = -1;
    CheckXError();
}

bool TXDRDiskImageThread::Stopped(IXWorker* W)
{
    return IsAppTerminated() || W->GetTerminated() || Terminated();
}

void TXDRDiskImageThread::Execute()
{
    TXDRThreadErrorRecord Record;
    IPtr<IXWorker> W = Worker();
    if (!W)
        return;
    OperationName = u"ImageFile";
    W->SetName(OperationName);
    ClearXError();
    FFirstFailed = FLastFailed = -1;
    FIndex = 0;
    // A failure that carries no code of its own (out of memory, say)
    // must not end the work as a success.
    XGuarded(xecUnspecified, false, [&] { Copy(W.Get()); });

    if (W->GetCancelled())
        SetXError(xecCancelled, 0, String(), false);
    else if (GetXErrorCode() == xecReadPastEnd)
        ClearXError();
    XGuarded(xecNone, false, [&] {
        if (FFirstFailed >= 0) {
            // The check would raise the code that ended the copy again.
            if (FFirstFailed == FLastFailed)
                LogLine = LgWord(XDRImageWords::FailedCluster) + u": " + IntToStr(FFirstFailed);
            else
                LogLine = LgWord(XDRImageWords::FailedClusters) + u": " + IntToStr(FFirstFailed) + u"-" +
                    IntToStr(FLastFailed);
            PostLog();
        }
        switch (GetXErrorCode()) {
        case xecNone:
            LogLine = LgWord(XDRImageWords::Done);
            PostLog();
            break;
        case xecCancelled:
            LogLine = LgWord(XDRImageWords::LastCluster) + u": " + IntToStr(FIndex - 1);
            PostLog();
            LogLine = LgWord(XDRImageWords::Cancelled);
            PostLog();
            break;
        case xecDeviceGone:
            LogLine = LgWord(XDRImageWords::LastCluster) + u": " + IntToStr(FIndex - 1);
            PostLog();
            LogLine = LgWord(XDRImageWords::Error);
            PostLog();
            LogLine = LgWord(XDRImageWords::DeviceGone);
            PostLog();
            break;
        default: break;
        }
    });
    const TXErrorData E = GetXErrorData();
    if (E.Code == xecNone)
        W->Terminate(TXErrorData {});
    else
        W->Terminate(TXErrorData::Create(E.Code, E.SubCode, E.Text));
    ReleaseWorker();
}

void TXDRDiskImageThread::Copy(IXWorker* W)
{
    if (!OpenSource())
        RaiseXError();
    struct TSourceCloser {
        TXDRDiskImageThread* Self;
        ~TSourceCloser()
        {
            Self->DetachSource();
            if (Self->Data->Source)
                Self->Data->Source->Close();
            // Lets the device settle before it is opened again.
            TimeSource().Sleep(100);
        }
    } Closer { this };

    auto* Disk = DynamicCast<TXDiskIO>(Data->Source);
    auto* Stream = Disk ? Disk->Stream() : nullptr;
    if (!Disk || !Stream) {
        SetXError(xecDeviceGone, 0, DeviceName, true);
        return;
    }
    // The image would overwrite the clusters it is being read from.
    if (TargetOnDevice(TargetFileName, Disk->Path()) || TargetFileName.empty()) {
        SetXError(xecWriteFailed, EINVAL, TargetFileName, true);
        return;
    }
    const Int64 DeviceSize = Stream->Size();
    const Int64 ClusterSize = Disk->Info.ClusterSize;
    if (ClusterSize <= 0 || ClusterSize > xMaxImageClusterSize) {
        SetXError(xecReadFailed, EINVAL, DeviceName, true);
        return;
    }
    // Read errors are recorded, not raised: a failed cluster is then still
    // written with the sectors that could be read.
    Stream->RaiseReadErrors = 0;

    TOwnedPtr<TReplacementFileStream> File;
    if (!XGuarded(xecWriteFailed, false, [&] { File.reset(New<TReplacementFileStream>(TargetFileName)); })) {
        const TXErrorData E = GetXErrorData();
        SetXError(xecWriteFailed, E.SubCode, TargetFileName, true);
    }
    bool WriteFailed = false;
    auto Write = [&](const void* Buffer, Int64 Count) {
        WriteFailed = true;
        WriteImage(File.get(), Buffer, Count, TargetFileName);
        WriteFailed = false;
    };
    bool FinishChosen = false;
    // The trailer goes on, and the image takes its name, when the copy
    // ends as the user or the device ended it: done, cancelled, finished
    // from the dialog, the device gone. A failed write, or a failure the
    // copy does not know (no memory, a dialog that raised), keeps whatever
    // file had the name before.
    struct TTrailer {
        std::function<void(bool)> Run;
        int Pending = std::uncaught_exceptions();
        ~TTrailer() { Run(std::uncaught_exceptions() > Pending); }
    } Trailer { [&](bool Raised) {
        if (WriteFailed)
            return;
        if (Raised && !FinishChosen && GetXErrorCode() != xecCancelled && GetXErrorCode() != xecDeviceGone)
            return;
        const TXErrorData Before = GetXErrorData();
        const bool Ok = XGuarded(xecWriteFailed, false, [&] {
            const UTF8String Xml = Disk->Info.SaveXml();
            Write(Xml.data(), Int64(Xml.size()));
            File->Commit();
        });
        if (Ok) {
            if (Before.Code != 0)
                SetXError(Before.Code, Before.SubCode, Before.Text, false);
            else
                ClearXError();
        } else if (GetXErrorCode() != xecWriteFailed) {
            SetXError(xecWriteFailed, errno, TargetFileName, false);
        }
    } };

    LogLine = WordFormat(XDRImageWords::Started, { TargetFileName });
    PostLog();
    CheckXError();

    TXDRClusterErrorDialog& Dialog = *FErrorDialog;
    Dialog.Choice = 0;
    Dialog.SkipCount = 10;
    Dialog.TotalClusters = DeviceSize / ClusterSize;
    Dialog.ClusterSize = ClusterSize;

    const Int64 Chunk = std::min(ClusterSize, DeviceSize);
    // One fill per cluster: a fill records the read errors of its whole
    // window, which must name the cluster that holds the bad sector.
    if (Chunk > 0) {
        const Int64 Sector = std::max<Int64>(Disk->Info.BytesPerSector, 512);
        Stream->SetBufferSize(Integer((Chunk + Sector - 1) / Sector * Sector));
    }
    std::vector<Byte> Buffer(size_t(std::max<Int64>(Chunk, 1)));
    Int64 Remaining = DeviceSize;
    TXErrorData FirstReadError;
    auto KeepReadError = [&] {
        if (FirstReadError.Code != 0)
            SetXError(FirstReadError.Code, FirstReadError.SubCode, FirstReadError.Text, false);
    };

    while (Remaining > 0) {
        if (Stopped(W))
            break;
        const Int64 N = std::min(Chunk, Remaining);
        ClearXError();
        // A device that is gone raises 11 from here.
        Stream->Seek(FIndex * Chunk, soBeginning);
        const Int64 Got = Stream->Read(Buffer.data(), N);
        bool Failed = GetXErrorCode() != 0;
        if (!Failed && Got < N) {
            SetXError(xecDeviceReadEnd, 0, DeviceName, false);
            Failed = true;
        }
        if (Failed && FirstReadError.Code == 0)
            FirstReadError = GetXErrorData();
        ClearXError();
        KeepReadError();
        if (Stopped(W))
            break;
        if (Failed && Dialog.Choice != 1) {
            Dialog.ClusterNumber = FIndex + 1;
            ShowErrorDialog();
        }
        // The choice applies to the failed cluster only: a good cluster is
        // always written as read.
        Byte Choice = Failed ? Dialog.Choice : Byte(0);
        const Int64 ClustersLeft = (Remaining + Chunk - 1) / Chunk;
        const Int64 Skip = std::clamp<Int64>(Dialog.SkipCount, 1, ClustersLeft);
        if (Failed) {
            if (FFirstFailed < 0)
                FFirstFailed = FIndex;
            FLastFailed = FIndex;
            if (Choice == 3 && Skip > 1) {
                WriteErrorRange();
                LogLine = LgWord(XDRImageWords::SkippedClusters) + u": " + IntToStr(FIndex) + u"-" +
                    IntToStr(FIndex + Skip - 1);
                PostLog();
                CheckXError();
            }
        } else if (FFirstFailed >= 0) {
            WriteErrorRange();
        }
        switch (Choice) {
        case 3:
            // The failed cluster with what could be read of it, then the
            // skipped ones, unread, as zeros.
            for (Int64 I = 0; I < Skip && Remaining > 0; ++I) {
                const Int64 Len = std::min(Chunk, Remaining);
                Write(Buffer.data(), Len);
                if (I == 0)
                    std::fill(Buffer.begin(), Buffer.end(), Byte(0));
                Remaining -= Len;
                ++FIndex;
            }
            break;
        case 4:
            FinishChosen = true;
            SetXErrorOnce(xecCopyFinished, 0, DeviceName, false);
            RaiseXError();
            break;
        default:
            Write(Buffer.data(), N);
            Remaining -= N;
            ++FIndex;
            break;
        }
        XGuarded(xecNone, false, [&] {
            if (IPtr<IXProgress> Progress = W->GetProgress())
                Progress->SetPercent(Byte(std::clamp<double>(std::round(double(FIndex) * double(Chunk) /
                                                                 double(std::max<Int64>(Stream->Size(), 1)) * 100.0),
                    0, 100)));
        });
    }
}

// ---- the command ----

namespace XDR::Gears::Work::I {

void TXDRDiskImageWorkCommand::Create(TXDRWorkerGear* AGear, const String& ASource, Int64 ADiskSize,
    const String& ATargetFileName)
{
    inherited::Create(AGear, ASource, ADiskSize);
    TargetFileName = ATargetFileName;
}

TXCustomDRThread* TXDRDiskImageWorkCommand::CreateThread()
{
    auto* Thread = NewThread<TXDRDiskImageThread>();
    Thread->DeviceName = Source;
    Thread->DeviceSize = DiskSize;
    Thread->TargetFileName = TargetFileName;
    Thread->ImageFileName.clear();
    Thread->HasSource = true;
    return Thread;
}

}
