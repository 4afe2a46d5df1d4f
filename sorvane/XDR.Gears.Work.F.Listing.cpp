// The walk of the directory tree, the listing of existing, deleted and lost
// files, and the search for lost directories.
#include "sorvane/XDR.Gears.Work.F.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "core/XCode.Trek.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Search.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Work.P.h"
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr Int64 SectorBytes = 512;
constexpr Integer EntriesPerSector = Integer(SectorBytes / DirEntryBytes);
// The first bytes of a deleted file that must not be all blank.
constexpr Int64 BlankTestBytes = 4096;


// The state of one listing phase over an opened disk.
class TFATLister {
public:
    TFATLister(TXDRFATDisk* ADisk, IXWorker* AWorker, TXBlocks* AUsedBlocks = nullptr)
        : Disk(ADisk)
        , Fat(ADisk->FAT())
        , Clusters(ADisk->FAT()->Clusters)
        , Stream(ADisk->FAT()->Stream)
        , Worker(AWorker)
        , UsedBlocks(AUsedBlocks)
    {
        if (Worker)
            Progress = Worker->GetProgress();
        if (!Progress)
            Progress = IPtr<IXProgress>(EmptyProgress());
        Int64 Free = 0;
        for (Int64 C = 2; C < Clusters.Count(); ++C)
            Free += IsFree(C);
        FreeBytes = Free * Fat->ClusterSize();
        DataBytes = std::max<Int64>(Clusters.Count() - 2, 0) * Fat->ClusterSize();
    }

    bool Stopped() const { return IsAppTerminated() || (Worker && Worker->GetTerminated()); }
    IXProgress* Progressor() const { return Progress.Get(); }

    void WalkTree();
    void SearchLostDirectories();
    void ListFile(TXFileSystemEntry* Entry);
    void ListDeletedFile(TXFileSystemEntry* Entry);
    // The free-cluster index of ListDeletedFile, from the states as they are now.
    void BuildFreeIndex();
    void TraceDirClusters(bool OnlyUnlisted);

private:
    TXDRFATDisk* Disk;
    TXFAT* Fat;
    TXClusterArray& Clusters;
    TStream* Stream;
    IXWorker* Worker;
    TXBlocks* UsedBlocks;
    IPtr<IXProgress> Progress;

    // Clusters met by the chain being followed: those stamped with the
    // current number.
    std::vector<Cardinal> ChainMarks;
    Cardinal ChainStamp = 0;
    // For every data cluster: the free clusters from it on, the last free
    // cluster of the run that holds it, and the next free cluster after it.
    std::vector<Cardinal> FreeFrom, RunEnd, NextFree;
    // The clusters of the existing files listed so far, and the chain of
    // the file being listed.
    std::vector<bool> Claimed;
    std::vector<Cardinal> Chain;
    // The (first cluster, size) pairs of deleted files checked already.
    std::set<std::pair<Cardinal, Int64>> CheckedPairs;
    // The free bytes when the listing started (the free clusters only get
    // fewer) and the bytes of the data area.
    Int64 FreeBytes = 0;
    Int64 DataBytes = 0;

    bool IsFree(Int64 Cluster) const { return Clusters[Cluster].State == clAvailable; }
    bool ReadSector(Int64 Offset, Byte* Sector);
    Integer ReadDirCluster(Int64 Sectors, Cardinal Cluster, Int64 Offset, bool KeepEmpty = true);
    bool CanBecomeFile(const Byte* Raw, bool Lost) const;
    void AddEntry(TXDRDirClusterObject* Object, const Byte* Raw);
    void FollowSubdirs(Integer Index, std::vector<Cardinal>& Pending);
    void WalkChain(Cardinal First, std::vector<Cardinal>& Pending);
    bool LooksLikeDirectory(Int64 Cluster, bool& ReadFailed);
    void NextChainStamp();
    void Describe(TXDRFileItem* Item, TXFileSystemEntry* Entry);
    void Announce(TOwnedPtr<TXDRFoundFileAspect>& Aspect);
};

bool TFATLister::ReadSector(Int64 Offset, Byte* Sector)
{
    return XGuarded(xecReadFailed, false, [&] {
        return Stream->Seek(Offset, soBeginning) == Offset && Stream->Read(Sector, SectorBytes) == SectorBytes;
    });
}

// Whether a file entry can ever be listed: it has bytes, starts at a data
// cluster and fits the data area; one that only the deleted files' way can
// list (deleted, or in a lost folder) starts at a free cluster and fits the
// free space. What fails is dropped as it is read: blank or random bytes
// taken for a folder would otherwise keep millions of entries.
bool TFATLister::CanBecomeFile(const Byte* Raw, bool Lost) const
{
    const Int64 Size = DirEntryFileSize(Raw);
    const Cardinal First = DirEntryFirstCluster(Raw, Fat->IsFAT32());
    if (Size <= 0 || Size > DataBytes || !Fat->IsChainValue(First))
        return false;
    if (Lost || IsErasedDirEntry(Raw))
        return IsFree(First) && Size <= FreeBytes;
    return true;
}

void TFATLister::AddEntry(TXDRDirClusterObject* Object, const Byte* Raw)
{
    const bool Folder = IsSubdirectoryEntry(Raw);
    TXFileSystemEntry* Entry = Folder ? New<TXFileSystemFolderEntry>() : New<TXFileSystemEntry>();
    Object->Entries()->Add(Entry);
    Byte Named[DirEntryBytes];
    std::memcpy(Named, Raw, DirEntryBytes);
    const bool Deleted = IsErasedDirEntry(Raw);
    // The lost first character of a deleted name.
    if (Deleted)
        Named[0] = '!';
    Entry->Name = DirEntryName(Named);
    Entry->Size = DirEntryFileSize(Raw);
    Entry->Created = DirEntryCreated(Raw);
    Entry->Modified = DirEntryModified(Raw);
    Entry->Accessed = DirEntryAccessed(Raw);
    Entry->FirstCluster = DirEntryFirstCluster(Raw, Fat->IsFAT32());
    Entry->SetFolder(Folder);
    Entry->SetDeleted(Deleted);
}

Integer TFATLister::ReadDirCluster(Int64 Sectors, Cardinal Cluster, Int64 Offset, bool KeepEmpty)
{
    if (Cluster == 0 || Stopped())
        return -1;
    const bool Lost = Clusters.IsDataCluster(Cluster) && Clusters[Cluster].State == clAvailableFolder;
    TOwnedPtr<TXDRDirClusterObject> Object(New<TXDRDirClusterObject>());
    Object->Cluster = Cluster;
    bool DotFirst = false;
    Byte Sector[SectorBytes];
    bool Ended = false;
    for (Int64 S = 0; S < Sectors && !Ended; ++S) {
        if (!ReadSector(Offset + S * SectorBytes, Sector))
            break;
        if (S == 0 && IsDotDirEntry(Sector))
            DotFirst = true;
        for (Integer E = 0; E < EntriesPerSector; ++E) {
            const Byte* Raw = Sector + E * DirEntryBytes;
            if (!IsValidDirEntry(Raw) || IsEndDirEntry(Raw)) {
                Ended = true;
                break;
            }
            if (IsSubdirectoryEntry(Raw) || (IsFileDirEntry(Raw) && CanBecomeFile(Raw, Lost)))
                AddEntry(Object.get(), Raw);
        }
    }
    if (!KeepEmpty && Object->Entries()->Count() == 0)
        return -1;
    if (DotFirst)
        Object->Flags |= xdcDotFirst;
    if (Lost)
        Object->Flags |= xdcLost;
    return Disk->DirClusters()->Add(Object.release());
}

void TFATLister::FollowSubdirs(Integer Index, std::vector<Cardinal>& Pending)
{
    if (Index < 0 || Stopped())
        return;
    TXDRDirClusterObject* Object = Disk->DirClusters()->GetItem(Index);
    Object->Flags |= xdcInTree;
    TXFileSystemEntryList* Entries = Object->Entries();
    // Pushed last to first, so the first subfolder is walked first.
    for (Integer I = Entries->Count() - 1; I >= 0; --I) {
        TXFileSystemEntry* Entry = Entries->GetItem(I);
        if (Entry->IsFolder() && !Entry->IsDeleted() && Entry->FirstCluster != 0)
            Pending.push_back(Entry->FirstCluster);
    }
}

void TFATLister::WalkChain(Cardinal First, std::vector<Cardinal>& Pending)
{
    // A folder's chain ends at a cluster outside the table or one read
    // before, so chains that loop and folders that point at an ancestor,
    // the root or themselves end.
    const Int64 Sectors = Fat->ClusterSize() / SectorBytes;
    Cardinal Cluster = First;
    while (Cluster != 0 && !Stopped()) {
        if (!Fat->IsChainValue(Cluster) || Disk->DirRead[Cluster])
            break;
        Disk->DirRead[Cluster] = true;
        const TXClusterRecord& R = Clusters[Cluster];
        const Cardinal Next = R.State == clNext ? R.Next : 0;
        const size_t Before = Pending.size();
        FollowSubdirs(ReadDirCluster(Sectors, Cluster, Fat->ClusterOffset(Cluster)), Pending);
        // The folders of this cluster are walked before the rest of its chain.
        if (Pending.size() > Before) {
            if (Next != 0)
                Pending.insert(Pending.begin() + std::ptrdiff_t(Before), Next);
            return;
        }
        Cluster = Next;
    }
}

void TFATLister::WalkTree()
{
    std::vector<Cardinal> Pending;
    const TXBootSector& Boot = Fat->BootSector;
    if (Fat->IsFAT32()) {
        Pending.push_back(BootRootCluster(Boot, Clusters.Count()));
    } else {
        const Int64 Sectors = BootRootDirEntries(Boot) / EntriesPerSector;
        FollowSubdirs(ReadDirCluster(Sectors, 1, BootRootDirOffset(Boot)), Pending);
    }
    while (!Pending.empty() && !Stopped()) {
        const Cardinal Next = Pending.back();
        Pending.pop_back();
        WalkChain(Next, Pending);
    }
}

bool TFATLister::LooksLikeDirectory(Int64 Cluster, bool& ReadFailed)
{
    const Int64 Offset = Fat->ClusterOffset(Cluster);
    const Int64 Sectors = BootSectorsPerCluster(Fat->BootSector);
    Byte Sector[SectorBytes];
    for (Int64 S = 0; S < Sectors; ++S) {
        if (!ReadSector(Offset + S * SectorBytes, Sector)) {
            ReadFailed = true;
            return false;
        }
        if (S == 0 && std::all_of(Sector, Sector + DirEntryBytes, [](Byte B) { return B == 0; }))
            return false;
        for (Integer E = 0; E < EntriesPerSector; ++E)
            if (!IsValidDirEntry(Sector + E * DirEntryBytes))
                return false;
    }
    return true;
}

void TFATLister::SearchLostDirectories()
{
    const Int64 Count = Clusters.Count();
    const Int64 Sectors = Fat->ClusterSize() / SectorBytes;
    bool ReadFailed = false;
    Integer Percent = -1;
    for (Int64 C = 0; C < Count; ++C) {
        const Integer Now = Integer(std::llround(double(C) * 100.0 / double(Count)));
        if (Now != Percent) {
            Percent = Now;
            Progress->SetPercent(Byte(Now));
        }
        if (ReadFailed || Stopped())
            break;
        // A cluster the walk read already is not read again.
        if (!Clusters.IsDataCluster(C) || !IsFree(C) || Disk->DirRead[size_t(C)])
            continue;
        // A cluster holding nothing that could be listed stays free space.
        if (LooksLikeDirectory(C, ReadFailed)) {
            Clusters[C].State = clAvailableFolder;
            if (ReadDirCluster(Sectors, Cardinal(C), Fat->ClusterOffset(C), false) >= 0)
                Disk->DirRead[size_t(C)] = true;
            else
                Clusters[C].State = clAvailable;
        }
    }
}

void TFATLister::NextChainStamp()
{
    if (ChainMarks.empty() || ++ChainStamp == 0) {
        ChainMarks.assign(size_t(Clusters.Count()), 0);
        ChainStamp = 1;
    }
}

void TFATLister::BuildFreeIndex()
{
    const Int64 Count = Clusters.Count();
    FreeFrom.assign(size_t(Count), 0);
    RunEnd.assign(size_t(Count), 0);
    NextFree.assign(size_t(Count), 0);
    Cardinal Free = 0;
    Cardinal After = 0;
    for (Int64 C = Count - 1; C >= 2; --C) {
        NextFree[size_t(C)] = After;
        if (IsFree(C)) {
            ++Free;
            RunEnd[size_t(C)] = C + 1 < Count && IsFree(C + 1) ? RunEnd[size_t(C + 1)] : Cardinal(C);
            After = Cardinal(C);
        }
        FreeFrom[size_t(C)] = Free;
    }
}

void TFATLister::Describe(TXDRFileItem* Item, TXFileSystemEntry* Entry)
{
    Item->Name = Entry->Name;
    Item->Extension = ExtractFileExt(Entry->Name);
    Item->Created = Entry->Created;
    Item->Modified = Entry->Modified;
    Item->Accessed = Entry->Accessed;
}

void TFATLister::Announce(TOwnedPtr<TXDRFoundFileAspect>& Aspect)
{
    IPtr<IXNotification> N = NewNotification(Aspect.release(), Disk);
    if (Worker)
        Worker->Broadcast(N.Get());
}

void TFATLister::ListFile(TXFileSystemEntry* Entry)
{
    TOwnedPtr<TXDRFoundFileAspect> Aspect(New<TXDRFoundFileAspect>());
    TXDRFileItem* Item = Aspect->Item();
    Entry->SetReported(true);
    const Int64 ClusterSize = Fat->ClusterSize();
    Int64 Remaining = Entry->Size;
    Cardinal Cluster = Entry->FirstCluster;
    Cardinal Last = 0;
    NextChainStamp();
    if (Claimed.empty())
        Claimed.assign(size_t(Clusters.Count()), false);
    Chain.clear();
    while (Remaining > 0) {
        // A value that is no data cluster, a cluster met before in this
        // chain, or one an earlier file claimed (cross-linked chains)
        // breaks the chain: the file is not whole.
        if (!Fat->IsChainValue(Cluster) || ChainMarks[Cluster] == ChainStamp || Claimed[Cluster])
            return;
        ChainMarks[Cluster] = ChainStamp;
        Chain.push_back(Cluster);
        Item->Blocks()->Add(Fat->ClusterOffset(Cluster), std::min(ClusterSize, Remaining));
        Remaining -= ClusterSize;
        Last = Cluster;
        const TXClusterRecord& R = Clusters[Cluster];
        if (R.State != clNext)
            break;
        Cluster = R.Next;
    }
    if (Remaining > 0 || Last == 0)
        return;
    for (Cardinal C : Chain)
        Claimed[C] = true;

    // Whole clusters: the slack of the last one is the file's too. The
    // list is packed (and its total counted) once, after the listing.
    if (UsedBlocks)
        for (Cardinal C : Chain)
            UsedBlocks->Add(Fat->ClusterOffset(C), ClusterSize);
    SetEntryStatus(Item->Status);
    Describe(Item, Entry);
    if (TClass FormatClass = FormatClassOfExtension(Item->Extension)) {
        TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(FormatClass));
        Format->ValidateBlocks(Stream, Item->Blocks());
        Item->ImageSize.Create(Format->Width, Format->Height);
        TXSize PictureSize;
        SetThumbnailResult(Item->Status, Format->MakeThumbnail(PictureSize, Item->Thumbnail(), Item->Blocks(), Stream));
        if (Item->ImageSize.IsEmpty())
            Item->ImageSize = PictureSize;
    }
    Announce(Aspect);
}

void TFATLister::ListDeletedFile(TXFileSystemEntry* Entry)
{
    TOwnedPtr<TXDRFoundFileAspect> Aspect(New<TXDRFoundFileAspect>());
    TXDRFileItem* Item = Aspect->Item();
    Entry->SetReported(true);
    Cardinal Cluster = Entry->FirstCluster;
    // Reused space, or more bytes than the free clusters from here on hold
    // (a free cluster of blanks reads as entries of half a gigabyte).
    if (!Fat->IsChainValue(Cluster) || !IsFree(Cluster))
        return;
    const Int64 ClusterSize = Fat->ClusterSize();
    if (Entry->Size > Int64(FreeFrom[Cluster]) * ClusterSize)
        return;
    // Entries naming the same bytes are one file: checked, made a
    // thumbnail of and listed once.
    if (!CheckedPairs.insert({ Cluster, Entry->Size }).second)
        return;
    // Whole runs of free clusters at a time; a next free cluster is looked
    // for only while bytes remain.
    Int64 Remaining = Entry->Size;
    for (;;) {
        const Cardinal RunLast = RunEnd[Cluster];
        const Int64 Take = std::min(Int64(RunLast - Cluster + 1) * ClusterSize, Remaining);
        Item->Blocks()->Add(Fat->ClusterOffset(Cluster), Take);
        Remaining -= Take;
        if (Remaining <= 0)
            break;
        Cluster = NextFree[RunLast];
        if (Cluster == 0)
            return;
    }

    TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(Stream, Item->Blocks()));
    std::vector<Byte> Head(size_t(std::min(BlankTestBytes, Entry->Size)));
    const bool Read = XGuarded(xecReadFailed, false,
        [&] { return File->Read(Head.data(), Int64(Head.size())) == Int64(Head.size()); });
    if (!Read || std::all_of(Head.begin(), Head.end(), [](Byte B) { return B == 0x00; }) ||
        std::all_of(Head.begin(), Head.end(), [](Byte B) { return B == 0xFF; }))
        return;

    SetDeletedEntryStatus(Item->Status);
    Describe(Item, Entry);
    if (TClass FormatClass = FormatClassOfExtension(Item->Extension)) {
        TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(FormatClass));
        TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
        Search->Stream = File.get();
        const bool Valid = Format->Validate(Search.get(), 0);
        Search->Stream = nullptr;
        if (!Valid)
            return;
        Item->ImageSize.Create(Format->Width, Format->Height);
        TXSize PictureSize;
        SetThumbnailResult(Item->Status, Format->MakeThumbnail(PictureSize, Item->Thumbnail(), Item->Blocks(), Stream));
        if (Item->ImageSize.IsEmpty())
            Item->ImageSize = PictureSize;
    }
    Announce(Aspect);
}

void TFATLister::TraceDirClusters(bool OnlyUnlisted)
{
    if (!CodeTrekEnabled())
        return;
    TXDRDirClusterList* List = Disk->DirClusters();
    for (Integer I = 0; I < List->Count(); ++I) {
        TXDRDirClusterObject* Object = List->GetItem(I);
        if (OnlyUnlisted && Object->Listed)
            continue;
        Object->Dump(CodeTrek()->Lines());
        CodeTrek()->Add(String());
    }
}

Integer CompareClusters(TObject* Left, TObject* Right)
{
    const Cardinal L = static_cast<TXDRDirClusterObject*>(Left)->Cluster;
    const Cardinal R = static_cast<TXDRDirClusterObject*>(Right)->Cluster;
    return L < R ? -1 : L > R ? 1 : 0;
}

Cardinal CountEntries(TXDRDirClusterList* List)
{
    UInt64 Count = 0;
    for (Integer I = 0; I < List->Count(); ++I)
        Count += UInt64(List->GetItem(I)->Entries()->Count());
    return Cardinal(std::min<UInt64>(Count, 0x7FFFFFFF));
}

// Runs Body on every entry of every directory cluster that is not a
// folder; every entry steps the progress. Stops when the work is stopped.
template<class F>
void ForEachFile(TFATLister& Lister, TXDRFATDisk* Disk, F&& Body)
{
    TXDRDirClusterList* List = Disk->DirClusters();
    for (Integer I = 0; I < List->Count(); ++I) {
        TXFileSystemEntryList* Entries = List->GetItem(I)->Entries();
        for (Integer J = 0; J < Entries->Count(); ++J) {
            TXFileSystemEntry* Entry = Entries->GetItem(J);
            if (!Entry->IsFolder()) {
                if (Lister.Stopped())
                    return;
                Body(Entry);
            }
            Lister.Progressor()->StepIt();
        }
    }
}

bool Usable(TXDRFATDisk* Disk)
{
    return Disk && Disk->Valid && Disk->FAT()->Stream && Disk->DirRead.size() == size_t(Disk->FAT()->Clusters.Count());
}

} // namespace

void ListFATFiles(TXDRFATDisk* FATDisk, TXBlocks* UsedBlocks, IXWorker* Worker)
{
    if (!Usable(FATDisk))
        return;
    TFATLister Lister(FATDisk, Worker, UsedBlocks);
    {
        TXProgressScope Walk(Lister.Progressor(), 10);
        Lister.WalkTree();
        FATDisk->DirClusters()->SortCompare = &CompareClusters;
        FATDisk->DirClusters()->SortItems();
        Lister.TraceDirClusters(false);
    }
    if (Lister.Stopped())
        return;
    TXProgressScope Files(Lister.Progressor(), 90);
    Lister.Progressor()->SetMax(2 * CountEntries(FATDisk->DirClusters()) + 1);
    TXDRDirClusterList* List = FATDisk->DirClusters();
    for (Integer I = 0; I < List->Count(); ++I)
        List->GetItem(I)->Listed = true;
    ForEachFile(Lister, FATDisk, [&](TXFileSystemEntry* Entry) {
        if (!Entry->IsDeleted())
            Lister.ListFile(Entry);
    });
    if (Lister.Stopped())
        return;
    Lister.BuildFreeIndex();
    ForEachFile(Lister, FATDisk, [&](TXFileSystemEntry* Entry) {
        if (Entry->IsDeleted())
            Lister.ListDeletedFile(Entry);
    });
}

void SearchLostDirectories(TXDRFATDisk* FATDisk, IXWorker* Worker)
{
    if (!Usable(FATDisk))
        return;
    TFATLister Lister(FATDisk, Worker);
    Lister.SearchLostDirectories();
}

void ListLostFiles(TXDRFATDisk* FATDisk, IXWorker* Worker)
{
    if (!Usable(FATDisk))
        return;
    TFATLister Lister(FATDisk, Worker);
    {
        TXProgressScope Search(Lister.Progressor(), 50);
        Lister.SearchLostDirectories();
        Lister.TraceDirClusters(true);
    }
    if (Lister.Stopped())
        return;
    TXProgressScope Files(Lister.Progressor(), 50);
    Lister.Progressor()->SetMax(CountEntries(FATDisk->DirClusters()) + 1);
    Lister.BuildFreeIndex();
    ForEachFile(Lister, FATDisk, [&](TXFileSystemEntry* Entry) {
        if (!Entry->IsReported())
            Lister.ListDeletedFile(Entry);
    });
}
