#include "sorvane/XDR.Work.R.h"
#include "rtl/Format.h"
#include "rtl/SafeSave.h"
#include "rtl/StrUtils.h"
#include "rtl/Streams.h"
#include "core/XCore.Errors.h"
#include "core/XCore.IO.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace {

constexpr Int64 CopyChunk = 1 << 20;

String OneComponent(String Text)
{
    for (Char& C : Text)
        if (C == u'/' || C == u'\0')
            C = u'_';
    return Text;
}

// Puts written files in the folder under new names: the name, else name1,
// name2 ... The number to try next is kept per name, so many equal names
// cost no more than one try each. A file is written under a temporary name
// beside its final one and takes that name only once it is whole, so a
// crash never leaves a cut file under a name the restore gave.
class TNewFiles {
public:
    explicit TNewFiles(const String& AFolder)
        : Folder(AFolder)
    { }

    // A temporary file for Name; null with errno set when it cannot be made.
    TReplacementFileStream* Create(const String& Name, String& Path)
    {
        Path = Folder + Name;
        try {
            return New<TReplacementFileStream>(Path);
        } catch (const EFCreateError& E) {
            errno = E.ErrorCode;
            return nullptr;
        }
    }

    // Gives the written file a name that nothing has; false with errno set
    // when it cannot (the file is gone then).
    bool Place(TReplacementFileStream* File, const String& Name, String& Path)
    {
        const String Ext = ExtractFileExt(Name);
        const String Base = Name.substr(0, Name.size() - Ext.size());
        Integer& Next = Tried[Name];
        try {
            for (; Next < std::numeric_limits<Integer>::max(); ++Next) {
                Path = Folder + (Next == 0 ? Name : Base + IntToStr(Next) + Ext);
                if (File->CommitNew(Path)) {
                    ++Next;
                    return true;
                }
            }
        } catch (const EFCreateError& E) {
            errno = E.ErrorCode;
            return false;
        }
        errno = EEXIST;
        return false;
    }

private:
    String Folder;
    std::unordered_map<String, Integer> Tried;
};

// The target folder, made when missing; false with errno set when it
// cannot be.
bool MakeFolder(const String& Folder)
{
    const std::string Path = StringToUTF8(Folder);
    std::error_code Error;
    std::filesystem::create_directories(Path, Error);
    struct stat St {};
    if (::stat(Path.c_str(), &St) != 0) {
        if (Error)
            errno = Error.value();
        return false;
    }
    if (!S_ISDIR(St.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

// Copies the item's blocks; False with errno after a failed write.
// Unreadable bytes are written as zeros, so the file has its full length.
bool CopyBlocks(TXBlocks* Blocks, TStream* Source, TStream* Target, std::vector<Byte>& Buffer)
{
    for (Integer I = 0; I < Blocks->Count(); ++I) {
        const TXBlock B = Blocks->Items(I);
        Int64 Left = B.Length;
        Int64 At = B.Start;
        while (Left > 0) {
            const Int64 N = std::min(Left, CopyChunk);
            Int64 Got = 0;
            if (At >= 0 && Source->Seek(At, soBeginning) == At)
                Got = std::clamp<Int64>(Source->Read(Buffer.data(), N), 0, N);
            std::memset(Buffer.data() + Got, 0, size_t(N - Got));
            errno = 0;
            const Int64 Written = Target->Write(Buffer.data(), N);
            if (Written != N) {
                if (Written >= 0 && errno == 0)
                    errno = ENOSPC;
                return false;
            }
            Left -= N;
            At += N;
        }
    }
    return true;
}

// Reads stay quiet while the restore runs: a bad sector gives zeros and
// 44 in the record instead of raising (a device gone still raises).
class TQuietReads {
public:
    explicit TQuietReads(TStream* Stream)
        : Buffered(DynamicCast<TXCustomBufStream>(Stream))
    {
        if (Buffered) {
            Old = Buffered->RaiseReadErrors;
            Buffered->RaiseReadErrors = 0;
        }
    }
    ~TQuietReads()
    {
        if (Buffered)
            Buffered->RaiseReadErrors = Old;
    }
    TQuietReads(const TQuietReads&) = delete;
    TQuietReads& operator=(const TQuietReads&) = delete;

private:
    TXCustomBufStream* Buffered;
    Byte Old = 1;
};

} // namespace

String RestoreNameOf(const TXDRFileItem* Item, Integer Index)
{
    String Name = OneComponent(Item->Name);
    if (Name.empty() || Name == u"." || Name == u"..")
        Name = Format(u"%.6d", { Index + 1 }) + OneComponent(Item->Extension);
    return Name;
}

void RestoreFiles(const String& TargetFolder, TXDRFileCollection* Files, TStream* Stream, IXWorker* Worker)
{
    if (!Files || !Stream)
        return;
    // "Folder" and "Folder/" are the same folder: the names go inside it.
    const String Folder = IncludePathDelimiter(TargetFolder);
    if (!MakeFolder(Folder)) {
        SetXError(xecWriteFailed, errno, Folder, false);
        return;
    }
    IPtr<IXProgress> Progress = Worker ? Worker->GetProgress() : nullptr;
    if (!Progress)
        Progress = IPtr<IXProgress>(EmptyProgress());
    TQuietReads Quiet(Stream);
    TNewFiles NewFiles(Folder);
    auto Buffer = std::vector<Byte>(size_t(CopyChunk));
    TXErrorData FirstFailure;

    Integer Count;
    {
        TMonitorLock Lock(Files);
        Count = Files->Count();
    }
    for (Integer I = 0; I < Count; ++I) {
        if (IsAppTerminated() || (Worker && Worker->GetTerminated()))
            break;
        TXDRFileItem* Item;
        {
            TMonitorLock Lock(Files);
            Item = I < Files->Count() ? Files->Items(I) : nullptr;
        }
        if (Item && Item->Selected) {
            String Path;
            TOwnedPtr<TReplacementFileStream> File(NewFiles.Create(RestoreNameOf(Item, I), Path));
            bool Ok = File != nullptr;
            if (Ok)
                Ok = CopyBlocks(Item->Blocks(), Stream, File.get(), Buffer);
            if (Ok)
                Ok = NewFiles.Place(File.get(), RestoreNameOf(Item, I), Path);
            if (!Ok) {
                const int Error = errno;
                if (FirstFailure.Code == 0)
                    FirstFailure = TXErrorData::Create(xecWriteFailed, Error, Path);
            }
        }
        Progress->SetPerMille(Cardinal(std::nearbyint((double(I) + 1) * 1000.0 / double(Count))));
    }
    if (FirstFailure.Code != 0)
        SetXError(FirstFailure.Code, FirstFailure.SubCode, FirstFailure.Text, false);
}
