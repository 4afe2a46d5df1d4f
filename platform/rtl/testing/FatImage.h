// FAT16 and FAT32 image files made, filled, changed and damaged with the
// real tools (mkfs.fat and mtools, run by argument vector), so tests judge
// the code under test against what those tools wrote and report. Every
// offset and cluster the helper hands out comes from minfo and mshowfat.
// A missing tool or a tool that fails raises std::runtime_error.
//
//     Testing::TFatImage Image(Folder / "card.img", 16, 4096);     // 4 MiB, FAT16
//     Image.MakeFolder("DCIM");
//     Image.PutFile("DCIM/A.JPG", Bytes, MTime);
//     Image.Delete("DCIM/A.JPG");                // the entry keeps its E5 mark
//     auto Chain = Image.Chain("DCIM");          // clusters as mshowfat lists them
#pragma once
#include "rtl/testing/Testing.h"
#include <ctime>
#include <string>

namespace Testing {

class TFatImage {
public:
    // The geometry as minfo reports it.
    struct TGeometry {
        Int64 BytesPerSector = 0;
        Int64 SectorsPerCluster = 0;
        Int64 ReservedSectors = 0;
        Int64 FATs = 0;
        Int64 RootEntries = 0;
        Int64 TotalSectors = 0;
        Int64 FATSectors = 0;
        Int64 RootCluster = 0; // FAT32
        Int64 InfoSector = 0; // FAT32: the sector of the free-space hints

        Int64 ClusterSize() const { return BytesPerSector * SectorsPerCluster; }
        Int64 FATOffset(Int64 N = 0) const { return (ReservedSectors + N * FATSectors) * BytesPerSector; }
        Int64 RootOffset() const { return FATOffset(FATs); }
        Int64 DataStart() const;
        Int64 ClusterOffset(Int64 Cluster) const { return DataStart() + (Cluster - 2) * ClusterSize(); }
    };

    // A new image of SizeKiB with "mkfs.fat -F Bits"; SectorsPerCluster 0
    // leaves the choice to mkfs.fat (a small FAT16 image needs 1).
    TFatImage(const std::filesystem::path& Path, int Bits, int SizeKiB, int SectorsPerCluster = 1);
    // An image file that exists already.
    explicit TFatImage(const std::filesystem::path& Path);

    // A copy of the image file at Path, with the same geometry (for
    // damaging a copy whose boot sector minfo might no longer read).
    TFatImage CopyTo(const std::filesystem::path& Path) const;

    const std::filesystem::path& Path() const { return FPath; }
    String File() const { return UTF8ToString(FPath.string()); }
    const TGeometry& Geometry() const { return FGeometry; }

    // Paths are DOS paths inside the image, "/"-separated, without "::".
    void MakeFolder(const std::string& DosPath); // mmd
    // Writes Data to a file beside the image with modification time MTime
    // and copies it in with "mcopy -m".
    void PutFile(const std::string& DosPath, const Bytes& Data, std::time_t MTime = 1700000000);
    // Copies the local files and folders in, folders with all they hold
    // ("mcopy -s -m"), into the root.
    void CopyTree(const std::vector<std::filesystem::path>& Local);
    void Delete(const std::string& DosPath); // mdel
    // FAT32: clears the next-free hint, so the next copy takes the lowest
    // free clusters (as mtools does on FAT16) and fills holes.
    void ForgetNextFree();
    void DeleteTree(const std::string& DosPath); // mdeltree
    // The clusters of a file or folder in chain order, from mshowfat.
    std::vector<Int64> Chain(const std::string& DosPath);
    // The byte offset of the 32-byte entry of DosPath inside its parent
    // folder (found by its 8.3 name in the parent's clusters from mshowfat,
    // or in the root area from minfo).
    Int64 EntryOffset(const std::string& DosPath);

    // Damage: raw bytes at an offset; a FAT entry in every copy of the FAT.
    void WriteBytes(Int64 Offset, const Bytes& Data);
    void SetFATEntry(Int64 Cluster, UInt64 Value);
    Bytes ReadBytes(Int64 Offset, Int64 Count) const;

private:
    TFatImage() = default;
    std::filesystem::path FPath;
    int FBits = 0;
    TGeometry FGeometry;

    std::string Target(const std::string& DosPath) const { return "::/" + DosPath; }
    std::string Mtools(std::vector<std::string> Argv);
    void ReadGeometry();
};

// An 11-byte directory name ("A.JPG" -> "A       JPG").
std::string ShortNameField(const std::string& Name);

}
