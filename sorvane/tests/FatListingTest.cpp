// The FAT listing over images that mkfs.fat made and mtools filled,
// changed and damaged: existing files against mshowfat, deleted files by
// their bytes, lost folders, the used blocks, damaged volumes, a stopped
// worker and the trace output.
#include "rtl/DateTime.h"
#include "rtl/StringList.h"
#include "rtl/testing/FatImage.h"
#include "core/XCode.Trek.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Streams.Blocks.h"
#include "sorvane/XDR.Classes.h"
#include "sorvane/XDR.Gears.Work.F.h"
#include <gtest/gtest.h>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <set>

namespace {

using namespace Testing;

Bytes SmallJpeg(const TTempFolder& Folder)
{
    if (RunTool({ "convert", "-size", "64x48", "gradient:red-blue", "small.jpg" }, Folder.Path()).ExitCode != 0)
        throw std::runtime_error("convert (imagemagick) failed");
    return ReadFileBytes(Folder / "small.jpg");
}

// The local time that mtools stores for a modification time.
TDateTime LocalStamp(std::time_t Time)
{
    std::tm T {};
    ::localtime_r(&Time, &T);
    return EncodeDateTime(Word(T.tm_year + 1900), Word(T.tm_mon + 1), Word(T.tm_mday), Word(T.tm_hour), Word(T.tm_min),
        Word(T.tm_sec), 0);
}

using TRuns = std::vector<std::pair<Int64, Int64>>;

// Contiguous byte runs of the clusters, the last one cut at Size (no cut
// when Size is negative).
TRuns RunsOf(const TFatImage& Image, const std::vector<Int64>& Clusters, Int64 Size = -1)
{
    const auto& G = Image.Geometry();
    TRuns Runs;
    Int64 Left = Size;
    for (Int64 C : Clusters) {
        const Int64 Length = Size < 0 ? G.ClusterSize() : std::min(G.ClusterSize(), Left);
        Left -= Length;
        const Int64 Start = G.ClusterOffset(C);
        if (!Runs.empty() && Runs.back().first + Runs.back().second == Start)
            Runs.back().second += Length;
        else
            Runs.emplace_back(Start, Length);
    }
    return Runs;
}

TRuns RunsOf(TXBlocks* Blocks)
{
    TRuns Runs;
    for (Integer I = 0; I < Blocks->Count(); ++I)
        Runs.emplace_back(Blocks->Items(I).Start, Blocks->Items(I).Length);
    return Runs;
}

// One listing of an image: both phases, every found file kept.
struct TListed : TObject {
    TOwnedPtr<TXFileDiskIO> IO { New<TXFileDiskIO>(nullptr) };
    TOwnedPtr<TXDRFATDisk> Disk { New<TXDRFATDisk>() };
    TOwnedPtr<TXBlocks> Used { New<TXBlocks>() };
    TOwnedPtr<TXWorker> Worker { New<TXWorker>(IPtr<IInterface>()) };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };
    std::function<void()> OnFile;
    bool Opened = false;

    explicit TListed(const TFatImage& Image, bool Lost = true)
        : TListed(Image.Path(), Lost)
    { }
    TListed(const std::filesystem::path& Path, bool Lost = true)
    {
        if (!IO->Open(UTF8ToString(Path.string()), xofRead))
            throw std::runtime_error("cannot open " + Path.string());
        Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TListed::Seen>(this));
        Opened = Disk->Open(IO.get());
        if (!Opened)
            return;
        ListFATFiles(Disk.get(), Used.get(), Worker.get());
        if (Lost)
            ListLostFiles(Disk.get(), Worker.get());
    }
    ~TListed() override { Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TListed::Seen>(this)); }

    void Seen(IXNotification* N)
    {
        Files->Add()->Assign(static_cast<TXDRFoundFileAspect*>(N->GetAspect())->Item());
        if (OnFile)
            OnFile();
    }
    TXDRFileItem* Named(const String& Name) const
    {
        TXDRFileItem* Found = nullptr;
        for (Integer I = 0; I < Files->Count(); ++I)
            if (Files->Items(I)->Name == Name) {
                EXPECT_EQ(Found, nullptr) << "reported twice: " << StringToUTF8(Name);
                Found = Files->Items(I);
            }
        return Found;
    }
    Bytes Content(TXDRFileItem* Item)
    {
        TOwnedPtr<TXBlockStream> File(New<TXBlockStream>(IO->Stream(), Item->Blocks()));
        return StreamBytes(File.get());
    }
    // Every reported byte lies in the data area and inside the image.
    void ExpectInsideData(Int64 DataStart, Int64 ImageSize) const
    {
        for (Integer I = 0; I < Files->Count(); ++I) {
            TXBlocks* B = Files->Items(I)->Blocks();
            for (Integer J = 0; J < B->Count(); ++J) {
                EXPECT_GE(B->Items(J).Start, DataStart) << StringToUTF8(Files->Items(I)->Name);
                EXPECT_LE(B->Items(J).Start + B->Items(J).Length, ImageSize) << StringToUTF8(Files->Items(I)->Name);
            }
        }
    }
};

class FatListing : public ::testing::TestWithParam<int> {
protected:
    TTempFolder Folder { "fat-listing" };
    // FAT16: 4 MiB of 512-byte clusters; FAT32: the smallest mkfs.fat makes.
    TFatImage MakeImage(const std::string& Name = "card.img")
    {
        return GetParam() == 16 ? TFatImage(Folder / Name, 16, 4096, 1) : TFatImage(Folder / Name, 32, 34000, 1);
    }
};

INSTANTIATE_TEST_SUITE_P(Fat, FatListing, ::testing::Values(16, 32),
    [](const auto& Info) { return "FAT" + std::to_string(Info.param); });

TEST_P(FatListing, ExistingDeletedAndRemovedFiles)
{
    TFatImage Image = MakeImage();
    const Int64 Cluster = Image.Geometry().ClusterSize();
    struct TFile {
        std::string Path;
        Bytes Data;
        std::time_t MTime;
    };
    std::vector<TFile> Existing = {
        { "DCIM/100CANON/IMG_0001.JPG", SmallJpeg(Folder), 1700000000 },
        { "DCIM/100CANON/DATA.BIN", RandomBytes(3000, 1), 1700000102 },
        { "DOCS/ONE.TXT", RandomBytes(1, 2), 1600000000 },
        { "DOCS/EXACT.BIN", RandomBytes(size_t(Cluster), 3), 1650000000 },
        { "ROOT.BIN", RandomBytes(size_t(Cluster + 1), 4), 1710000000 },
    };
    Image.MakeFolder("DCIM");
    Image.MakeFolder("DCIM/100CANON");
    Image.MakeFolder("DOCS");
    for (const TFile& F : Existing)
        Image.PutFile(F.Path, F.Data, F.MTime);
    // Copy, delete, copy: FRAG.BIN (in the root, so B.BIN's deleted entry
    // stays) fills the hole B.BIN left and goes on after C.BIN.
    Image.PutFile("DOCS/A.BIN", RandomBytes(size_t(3 * Cluster), 5));
    Image.PutFile("DOCS/B.BIN", RandomBytes(size_t(2 * Cluster), 6));
    Image.PutFile("DOCS/C.BIN", RandomBytes(size_t(3 * Cluster), 7));
    Image.Delete("DOCS/B.BIN");
    Image.ForgetNextFree();
    Existing.push_back({ "FRAG.BIN", RandomBytes(size_t(5 * Cluster - 100), 8), 1700000200 });
    Image.PutFile(Existing.back().Path, Existing.back().Data, Existing.back().MTime);
    Existing.push_back({ "DOCS/A.BIN", {}, 0 });
    Existing.push_back({ "DOCS/C.BIN", {}, 0 });
    // A deleted file whose clusters were taken again by the next copy (in
    // another folder, so the deleted entry stays).
    Image.PutFile("DOCS/OLD.BIN", RandomBytes(size_t(2 * Cluster), 9));
    Image.Delete("DOCS/OLD.BIN");
    Image.ForgetNextFree();
    Image.PutFile("NEW.BIN", RandomBytes(size_t(2 * Cluster), 10));
    Existing.push_back({ "NEW.BIN", {}, 0 });
    // A folder that is removed with everything in it, below.
    const Bytes Trashed = RandomBytes(size_t(Cluster + 5), 12);
    Image.MakeFolder("TRASH");
    Image.PutFile("TRASH/T1.BIN", Trashed);
    const auto TrashChain = Image.Chain("TRASH");
    // A contiguous deleted file whose clusters stay free.
    const Bytes Gone = RandomBytes(size_t(2 * Cluster + 10), 11);
    Image.PutFile("DOCS/GONE.BIN", Gone);
    const auto GoneChain = Image.Chain("DOCS/GONE.BIN");
    Image.Delete("DOCS/GONE.BIN");
    Image.DeleteTree("TRASH");

    std::map<std::string, std::vector<Int64>> Chains;
    for (const TFile& F : Existing)
        Chains[F.Path] = Image.Chain(F.Path);
    ASSERT_GT(RunsOf(Image, Chains["FRAG.BIN"]).size(), 1u) << "FRAG.BIN is not fragmented";

    TListed L(Image);
    ASSERT_TRUE(L.Opened);
    for (const TFile& F : Existing) {
        SCOPED_TRACE(F.Path);
        const String Name = UTF8ToString(F.Path.substr(F.Path.rfind('/') + 1));
        TXDRFileItem* Item = L.Named(Name);
        ASSERT_NE(Item, nullptr);
        EXPECT_TRUE(HasStatus(Item->Status, drEntry));
        EXPECT_FALSE(HasStatus(Item->Status, drDeletedEntry));
        EXPECT_EQ(Item->Extension, ExtractFileExt(Name));
        EXPECT_EQ(RunsOf(Item->Blocks()), RunsOf(Image, Chains[F.Path], Item->Size()));
        if (!F.Data.empty()) {
            EXPECT_EQ(Item->Size(), Int64(F.Data.size()));
            EXPECT_EQ(L.Content(Item), F.Data);
            EXPECT_EQ(Item->Modified, LocalStamp(F.MTime));
        }
    }
    TXDRFileItem* Jpeg = L.Named(u"IMG_0001.JPG");
    ASSERT_NE(Jpeg, nullptr);
    EXPECT_EQ(Jpeg->ImageSize, (TXSize { 64, 48 }));
    EXPECT_TRUE(HasStatus(Jpeg->Status, drThnValidated));

    // Deleted: the lost first character is "!", the bytes come back whole.
    TXDRFileItem* Deleted = L.Named(u"!ONE.BIN");
    ASSERT_NE(Deleted, nullptr);
    EXPECT_TRUE(HasStatus(Deleted->Status, drDeletedEntry));
    EXPECT_EQ(L.Content(Deleted), Gone);
    EXPECT_EQ(RunsOf(Deleted->Blocks()), RunsOf(Image, GoneChain, Int64(Gone.size())));
    EXPECT_EQ(L.Named(u"!LD.BIN"), nullptr) << "its space was reused";
    EXPECT_EQ(L.Named(u"!.BIN"), nullptr) << "B.BIN's space was reused";
    // The removed folder is found as a lost directory, its file with it.
    TXDRFileItem* InTrash = L.Named(u"!1.BIN");
    ASSERT_NE(InTrash, nullptr);
    EXPECT_EQ(L.Content(InTrash), Trashed);
    bool TrashFound = false;
    for (Integer I = 0; I < L.Disk->DirClusters()->Count(); ++I) {
        TXDRDirClusterObject* D = L.Disk->DirClusters()->GetItem(I);
        if (D->Cluster == TrashChain.at(0)) {
            TrashFound = true;
            EXPECT_EQ(D->Flags, xdcLost | xdcDotFirst);
        }
    }
    EXPECT_TRUE(TrashFound);

    // Used: the clusters of the existing files, whole, and nothing else.
    TOwnedPtr<TXBlocks> Expected(New<TXBlocks>());
    for (const auto& [Path, Chain] : Chains)
        for (auto [Start, Length] : RunsOf(Image, Chain))
            Expected->Add(Start, Length);
    Expected->Pack();
    L.Used->Pack();
    EXPECT_EQ(RunsOf(L.Used.get()), RunsOf(Expected.get()));
    L.ExpectInsideData(Image.Geometry().DataStart(), Int64(std::filesystem::file_size(Image.Path())));
}

TEST_P(FatListing, LostFolderIsFoundWithItsFiles)
{
    TFatImage Image = MakeImage();
    const Int64 Cluster = Image.Geometry().ClusterSize();
    Image.MakeFolder("KEEP");
    Image.PutFile("KEEP/SEEN.BIN", RandomBytes(size_t(Cluster), 20));
    Image.MakeFolder("KEEP/LOST");
    const Bytes One = RandomBytes(size_t(2 * Cluster + 7), 21);
    const Bytes Two = SmallJpeg(Folder);
    Image.PutFile("KEEP/LOST/ONE.BIN", One);
    Image.PutFile("KEEP/LOST/TWO.JPG", Two);
    const auto Lost = Image.Chain("KEEP/LOST");
    const auto OneChain = Image.Chain("KEEP/LOST/ONE.BIN");
    const auto TwoChain = Image.Chain("KEEP/LOST/TWO.JPG");
    // The parent's entry is marked deleted; the folder's cluster and its
    // files' chains are freed; the folder's own entries stay.
    Image.WriteBytes(Image.EntryOffset("KEEP/LOST"), { 0xE5 });
    for (const auto* Chain : { &Lost, &OneChain, &TwoChain })
        for (Int64 C : *Chain)
            Image.SetFATEntry(C, 0);

    TListed Tree(Image, false);
    EXPECT_NE(Tree.Named(u"SEEN.BIN"), nullptr);
    EXPECT_EQ(Tree.Named(u"ONE.BIN"), nullptr);

    TListed L(Image);
    TXDRFileItem* Found = L.Named(u"ONE.BIN");
    ASSERT_NE(Found, nullptr);
    EXPECT_TRUE(HasStatus(Found->Status, drDeletedEntry));
    EXPECT_EQ(L.Content(Found), One);
    TXDRFileItem* Picture = L.Named(u"TWO.JPG");
    ASSERT_NE(Picture, nullptr);
    EXPECT_EQ(L.Content(Picture), Two);
    EXPECT_EQ(Picture->ImageSize, (TXSize { 64, 48 }));
    Integer LostObjects = 0;
    for (Integer I = 0; I < L.Disk->DirClusters()->Count(); ++I) {
        TXDRDirClusterObject* D = L.Disk->DirClusters()->GetItem(I);
        if (D->Cluster == Lost.at(0)) {
            ++LostObjects;
            EXPECT_EQ(D->Flags, xdcLost | xdcDotFirst);
            EXPECT_FALSE(D->Listed);
            EXPECT_EQ(L.Disk->FAT()->Clusters[D->Cluster].State, clAvailableFolder);
        }
    }
    EXPECT_EQ(LostObjects, 1);
    // Lost files are free space: none of it is used.
    L.Used->Pack();
    for (auto [Start, Length] : RunsOf(L.Used.get()))
        for (Int64 C : OneChain)
            EXPECT_FALSE(
                Image.Geometry().ClusterOffset(C) >= Start && Image.Geometry().ClusterOffset(C) < Start + Length);
}

// Damaged volumes: each ends in bounded time, reports no byte outside the
// data area, and reports exactly the files it can vouch for.
TEST_P(FatListing, DamagedVolumes)
{
    TFatImage Base = MakeImage("base.img");
    const auto& G = Base.Geometry();
    const Int64 Cluster = G.ClusterSize();
    const bool Is32 = GetParam() == 32;
    Base.MakeFolder("D");
    Base.MakeFolder("D/S");
    Base.PutFile("D/F1.BIN", RandomBytes(size_t(3 * Cluster), 30));
    Base.PutFile("D/F2.BIN", RandomBytes(size_t(3 * Cluster), 31));
    Base.PutFile("D/S/IN.BIN", RandomBytes(size_t(Cluster), 32));
    Base.PutFile("R.BIN", RandomBytes(size_t(2 * Cluster), 33));
    const auto F1 = Base.Chain("D/F1.BIN");
    const auto F2 = Base.Chain("D/F2.BIN");
    const auto D = Base.Chain("D");
    const auto S = Base.Chain("D/S");
    const Int64 F1Entry = Base.EntryOffset("D/F1.BIN");
    const Int64 SEntry = Base.EntryOffset("D/S");
    const Int64 REntry = Base.EntryOffset("R.BIN");
    const Int64 PastEnd = Is32 ? 0x0FFFFFEE : 0xFFEE;
    const Int64 Root = Is32 ? G.RootCluster : 0;
    const Int64 FreeCluster = std::max({ F1.back(), F2.back(), S.back() }) + 20;
    auto Le32 = [](UInt64 V) { return Bytes { Byte(V), Byte(V >> 8), Byte(V >> 16), Byte(V >> 24) }; };
    auto Le16 = [](UInt64 V) { return Bytes { Byte(V), Byte(V >> 8) }; };
    auto SetFirstCluster = [&](TFatImage& I, Int64 Entry, UInt64 C) {
        I.WriteBytes(Entry + 26, Le16(C));
        if (Is32)
            I.WriteBytes(Entry + 20, Le16(C >> 16));
    };

    struct TCase {
        const char* What;
        std::function<void(TFatImage&)> Damage;
        std::set<std::string> Reported, Missing;
        Int64 CutTo = 0;
    };
    const std::vector<TCase> Cases = {
        { "intact", [](TFatImage&) {}, { "F1.BIN", "F2.BIN", "IN.BIN", "R.BIN" }, {} },
        { "chain loop", [&](TFatImage& I) { I.SetFATEntry(F1[1], UInt64(F1[0])); }, { "F2.BIN" }, { "F1.BIN" } },
        { "chain to a free cluster", [&](TFatImage& I) { I.SetFATEntry(F1[0], 0); }, { "F2.BIN" }, { "F1.BIN" } },
        { "chain to 1", [&](TFatImage& I) { I.SetFATEntry(F1[0], 1); }, { "F2.BIN" }, { "F1.BIN" } },
        { "chain to a reserved value", [&](TFatImage& I) { I.SetFATEntry(F1[0], Is32 ? 0x0FFFFFF0 : 0xFFF0); },
            { "F2.BIN" }, { "F1.BIN" } },
        { "chain past the end", [&](TFatImage& I) { I.SetFATEntry(F1[0], UInt64(PastEnd)); }, { "F2.BIN" },
            { "F1.BIN" } },
        // The later file's walk stops at the cluster the first one claimed.
        { "cross-linked files", [&](TFatImage& I) { I.SetFATEntry(F2[0], UInt64(F1[1])); }, { "F1.BIN" },
            { "F2.BIN" } },
        { "directory chain loop", [&](TFatImage& I) { I.SetFATEntry(D[0], UInt64(D[0])); },
            { "F1.BIN", "F2.BIN", "IN.BIN" }, {} },
        { "subfolder points at the root", [&](TFatImage& I) { SetFirstCluster(I, SEntry, UInt64(Root)); },
            { "F1.BIN", "R.BIN" }, { "IN.BIN" } },
        { "subfolder points at its parent", [&](TFatImage& I) { SetFirstCluster(I, SEntry, UInt64(D[0])); },
            { "F1.BIN", "R.BIN" }, { "IN.BIN" } },
        { "subfolder points at itself",
            [&](TFatImage& I) {
                // The subfolder's entry moved into its own cluster.
                I.WriteBytes(G.ClusterOffset(S[0]) + 96, I.ReadBytes(SEntry, 32));
            },
            { "F1.BIN", "IN.BIN" }, {} },
        { "first cluster 1", [&](TFatImage& I) { SetFirstCluster(I, F1Entry, 1); }, { "F2.BIN" }, { "F1.BIN" } },
        { "first cluster past the end", [&](TFatImage& I) { SetFirstCluster(I, F1Entry, UInt64(PastEnd)); },
            { "F2.BIN" }, { "F1.BIN" } },
        { "deleted file at cluster 1",
            [&](TFatImage& I) {
                I.WriteBytes(REntry, { 0xE5 });
                SetFirstCluster(I, REntry, 1);
            },
            { "F1.BIN" }, { "!.BIN" } },
        { "size past the volume", [&](TFatImage& I) { I.WriteBytes(F1Entry + 28, Le32(0xFFFFFFF0)); }, { "F2.BIN" },
            { "F1.BIN" } },
        { "deleted, size past the free space",
            [&](TFatImage& I) {
                I.WriteBytes(REntry, { 0xE5 });
                I.WriteBytes(REntry + 28, Le32(0xFFFFFFF0));
                for (Int64 C : Base.Chain("R.BIN"))
                    I.SetFATEntry(C, 0);
            },
            { "F1.BIN" }, { "!.BIN" } },
        { "truncated image", [](TFatImage&) {}, {}, {}, G.ClusterOffset(F2[1]) },
        { "free cluster of blanks",
            [&](TFatImage& I) { I.WriteBytes(G.ClusterOffset(FreeCluster), Bytes(size_t(Cluster), ' ')); },
            { "F1.BIN", "F2.BIN", "IN.BIN", "R.BIN" }, { "." } },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        TFatImage Image = Base.CopyTo(Folder / "damaged.img");
        C.Damage(Image);
        if (C.CutTo > 0)
            std::filesystem::resize_file(Image.Path(), std::uintmax_t(C.CutTo));
        TListed L(Image);
        ASSERT_TRUE(L.Opened);
        for (const std::string& Name : C.Reported)
            EXPECT_NE(L.Named(UTF8ToString(Name)), nullptr) << Name;
        for (const std::string& Name : C.Missing)
            EXPECT_EQ(L.Named(UTF8ToString(Name)), nullptr) << Name;
        const Int64 Size = Int64(std::filesystem::file_size(Image.Path()));
        L.ExpectInsideData(G.DataStart(), Size);
        // Each directory cluster was read once.
        std::set<Cardinal> Seen;
        for (Integer I = 0; I < L.Disk->DirClusters()->Count(); ++I)
            EXPECT_TRUE(Seen.insert(L.Disk->DirClusters()->GetItem(I)->Cluster).second);
    }
}

// Damage at the scale of a card, bounded by the image: hundreds of entries
// sharing one 20,000-cluster chain (and one joining it halfway), hundreds
// of deleted entries naming one picture, and megabytes of blank free space
// that reads as folders of entries. Each file is listed once, no listed
// byte is counted twice, and nothing is kept of what can never be a file.
TEST(FatListingAtScale, CrossLinkedChainsAndBlankFreeSpace)
{
    TTempFolder Folder("fat-scale");
    TFatImage Image(Folder / "card.img", 16, 32 * 1024, 2);
    const auto& G = Image.Geometry();
    const Int64 Cluster = G.ClusterSize();
    const Int64 BigSize = 20000 * Cluster;
    Image.PutFile("BIG.BIN", RandomBytes(size_t(BigSize), 50));
    const Bytes Picture = SmallJpeg(Folder);
    Image.PutFile("PIC.JPG", Picture);
    const auto Big = Image.Chain("BIG.BIN");
    const auto Pic = Image.Chain("PIC.JPG");
    ASSERT_EQ(Big.size(), 20000u);
    const Int64 BigEntry = Image.EntryOffset("BIG.BIN"), PicEntry = Image.EntryOffset("PIC.JPG");
    Image.Delete("PIC.JPG");
    // Copies fill the root after the two entries mtools wrote.
    const Bytes BigRaw = Image.ReadBytes(BigEntry, 32), PicRaw = Image.ReadBytes(PicEntry, 32);
    Int64 Slot = std::max(BigEntry, PicEntry) + 32;
    auto Put = [&](Bytes Raw, const std::string& Name) {
        std::copy(Name.begin(), Name.end(), Raw.begin() + (Raw[0] == 0xE5 ? 1 : 0));
        Image.WriteBytes(Slot, Raw);
        Slot += 32;
    };
    constexpr int Copies = 240;
    for (int I = 0; I < Copies; ++I) {
        char Name[9];
        std::snprintf(Name, sizeof Name, "L%07d", I);
        Put(BigRaw, Name);
        std::snprintf(Name, sizeof Name, "%07d", I);
        Put(PicRaw, Name);
    }
    // An entry whose chain starts halfway along the big file's.
    Bytes Joining = BigRaw;
    Joining[26] = Byte(Big[10000]);
    Joining[27] = Byte(Big[10000] >> 8);
    const UInt64 Half = UInt64(BigSize / 2);
    for (int B = 0; B < 4; ++B)
        Joining[size_t(28 + B)] = Byte(Half >> (8 * B));
    Put(Joining, "JOINING ");
    // 8 MiB of blanks in free space after both files.
    const Int64 BlankFrom = std::max(Big.back(), Pic.back()) + 10;
    const Int64 BlankClusters = (8 << 20) / Cluster;
    Image.WriteBytes(G.ClusterOffset(BlankFrom), Bytes(size_t(BlankClusters * Cluster), ' '));

    const auto Start = std::chrono::steady_clock::now();
    TListed L(Image);
    const double Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    ASSERT_TRUE(L.Opened);
    std::cout << "listed " << L.Files->Count() << " files in " << Seconds << " s\n";

    std::map<Int64, int> BySize;
    Int64 Listed = 0, Blocks = 0;
    for (Integer I = 0; I < L.Files->Count(); ++I) {
        TXDRFileItem* Item = L.Files->Items(I);
        ++BySize[Item->Blocks()->Size()];
        Listed += Item->Blocks()->Size();
        Blocks += Item->Blocks()->Count();
    }
    EXPECT_EQ(BySize[BigSize], 1) << "one chain, one file";
    EXPECT_EQ(BySize[Int64(Picture.size())], 1) << "one picture, one file";
    EXPECT_EQ(BySize[BigSize / 2], 0) << "a chain joining a claimed one is not whole";
    ASSERT_NE(L.Named(u"BIG.BIN"), nullptr);
    EXPECT_EQ(RunsOf(L.Named(u"BIG.BIN")->Blocks()), RunsOf(Image, Big, BigSize));
    ASSERT_NE(L.Named(u"!IC.JPG"), nullptr);
    EXPECT_TRUE(L.Content(L.Named(u"!IC.JPG")) == Picture);
    const Int64 ImageSize = Int64(std::filesystem::file_size(Image.Path()));
    EXPECT_LE(Listed, ImageSize) << "a restore would write more than the card holds";
    EXPECT_LE(Blocks, ImageSize / Cluster);
    L.Used->Pack();
    EXPECT_EQ(L.Used->Size(), BigSize);
    // Nothing of the blanks is kept: no lost folder, no entry.
    Integer Entries = 0;
    for (Integer I = 0; I < L.Disk->DirClusters()->Count(); ++I)
        Entries += L.Disk->DirClusters()->GetItem(I)->Entries()->Count();
    EXPECT_EQ(L.Disk->DirClusters()->Count(), 1) << "blank clusters kept as lost folders";
    EXPECT_LE(Entries, 2 * Copies + 3);
}

TEST_P(FatListing, StoppedWorkerEndsTheListings)
{
    TFatImage Image = MakeImage();
    for (int I = 0; I < 6; ++I)
        Image.PutFile("F" + std::to_string(I) + ".BIN", RandomBytes(700, unsigned(40 + I)));
    Image.PutFile("GONE.BIN", RandomBytes(700, 50));
    Image.Delete("GONE.BIN");

    TOwnedPtr<TXFileDiskIO> IO(New<TXFileDiskIO>(nullptr));
    ASSERT_TRUE(IO->Open(UTF8ToString(Image.Path().string()), xofRead));
    TOwnedPtr<TXDRFATDisk> Disk(New<TXDRFATDisk>());
    ASSERT_TRUE(Disk->Open(IO.get()));
    TOwnedPtr<TXBlocks> Used(New<TXBlocks>());
    struct TCounter : TObject {
        IXWorker* Worker = nullptr;
        int Count = 0;
        void Seen(IXNotification*)
        {
            if (++Count == 2)
                Worker->Cancel();
        }
    } Counter;
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    Counter.Worker = Worker.get();
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    ListFATFiles(Disk.get(), Used.get(), Worker.get());
    ListLostFiles(Disk.get(), Worker.get());
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    EXPECT_EQ(Counter.Count, 2);
}

TEST(FatDisk, OpensOnlyFat16AndFat32AndTracesWhenAsked)
{
    TTempFolder Folder("fat-disk");
    TFatImage Fat12(Folder / "fat12.img", 12, 1024);
    TFatImage Fat16(Folder / "fat16.img", 16, 4096);
    Fat16.PutFile("A.BIN", RandomBytes(500, 60));

    TOwnedPtr<TXFileDiskIO> IO(New<TXFileDiskIO>(nullptr));
    TOwnedPtr<TXDRFATDisk> Disk(New<TXDRFATDisk>());
    ASSERT_TRUE(IO->Open(Fat12.File(), xofRead));
    EXPECT_FALSE(Disk->Open(IO.get()));
    EXPECT_FALSE(Disk->Valid);

    ASSERT_TRUE(IO->Open(Fat16.File(), xofRead));
    IO->Info.FileSystemName = u"NTFS";
    EXPECT_FALSE(Disk->Open(IO.get()));
    IO->Info.FileSystemName = u"FAT";
    IO->Info.BytesPerSector = 0;
    IO->Info.ClusterSize = 0;
    CodeTrek()->Clear();
    EXPECT_TRUE(Disk->Open(IO.get()));
    EXPECT_TRUE(CodeTrek()->Lines()->Count() == 0) << "tracing is off by default";
    EXPECT_EQ(IO->Info.BytesPerSector, 512u);
    EXPECT_EQ(IO->Info.ClusterSize, 512u);

    SetCodeTrekEnabled(true);
    const bool Opened = Disk->Open(IO.get());
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    TOwnedPtr<TXBlocks> Used(New<TXBlocks>());
    ListFATFiles(Disk.get(), Used.get(), Worker.get());
    SetCodeTrekEnabled(false);
    ASSERT_TRUE(Opened);
    TStringList* Lines = CodeTrek()->Lines();
    EXPECT_EQ(Lines->Strings(0), u"FileSystem Valid: True");
    EXPECT_GE(Lines->IndexOf(u"Boot Info:"), 0);
    EXPECT_GE(Lines->IndexOf(
                  u"Cluster State: 0 = Available, 1 = Start, 2 = Bad, 3 = Next, 4 = Last, 5 = AvailableFolder"),
        0);
    const Integer Fat = Lines->IndexOf(u"<FAT>");
    ASSERT_GE(Fat, 0);
    EXPECT_EQ(Lines->Strings(Fat + 1).substr(0, 36), u"0 - 00000000-1 00000000-1 00000000-4");
    EXPECT_GE(Lines->IndexOf(u"</FAT>"), 0);
    EXPECT_GE(Lines->IndexOf(u"Cluster: 1"), 0);
    CodeTrek()->Clear();
}

}
