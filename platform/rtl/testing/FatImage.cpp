#include "rtl/testing/FatImage.h"
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace Testing {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& What)
{
    throw std::runtime_error("FAT image: " + What);
}

// mkfs.fat lives in the administrator's folders, which a user's PATH may lack.
std::string MkfsFat()
{
    if (HaveTool("mkfs.fat"))
        return "mkfs.fat";
    for (const char* P : { "/usr/sbin/mkfs.fat", "/sbin/mkfs.fat" })
        if (::access(P, X_OK) == 0)
            return P;
    Fail("mkfs.fat is not installed (dosfstools)");
}

// The number after Key on the line that holds it in minfo's report.
Int64 Field(const std::string& Report, const std::string& Key)
{
    const size_t At = Report.find(Key);
    if (At == std::string::npos)
        return 0;
    return std::strtoll(Report.c_str() + At + Key.size(), nullptr, 10);
}

}

Int64 TFatImage::TGeometry::DataStart() const
{
    const Int64 RootBytes = RootEntries * 32;
    return RootOffset() + (RootBytes + BytesPerSector - 1) / BytesPerSector * BytesPerSector;
}

TFatImage::TFatImage(const fs::path& Path, int Bits, int SizeKiB, int SectorsPerCluster)
    : FPath(Path)
    , FBits(Bits)
{
    std::vector<std::string> Argv { MkfsFat(), "-C", "-F", std::to_string(Bits) };
    if (SectorsPerCluster > 0)
        Argv.insert(Argv.end(), { "-s", std::to_string(SectorsPerCluster) });
    Argv.insert(Argv.end(), { Path.string(), std::to_string(SizeKiB) });
    if (RunTool(Argv).ExitCode != 0)
        Fail("mkfs.fat failed for " + Path.string());
    ReadGeometry();
}

TFatImage::TFatImage(const fs::path& Path)
    : FPath(Path)
{
    ReadGeometry();
    FBits = FGeometry.RootEntries == 0 ? 32 : 16;
}

TFatImage TFatImage::CopyTo(const fs::path& Path) const
{
    fs::copy_file(FPath, Path, fs::copy_options::overwrite_existing);
    TFatImage Copy;
    Copy.FPath = Path;
    Copy.FBits = FBits;
    Copy.FGeometry = FGeometry;
    return Copy;
}

std::string TFatImage::Mtools(std::vector<std::string> Argv)
{
    if (!HaveTool(Argv[0]))
        Fail(Argv[0] + " is not installed (mtools)");
    // mtools refuses images whose geometry is not a whole number of tracks
    // unless told not to check.
    Argv.insert(Argv.begin(), { "env", "MTOOLS_SKIP_CHECK=1" });
    Argv.insert(Argv.begin() + 3, { "-i", FPath.string() });
    const TToolResult R = RunTool(Argv);
    if (R.ExitCode != 0)
        Fail(Argv[2] + " failed on " + FPath.string());
    return R.Output;
}

void TFatImage::ReadGeometry()
{
    const std::string Report = Mtools({ "minfo", "::" });
    TGeometry& G = FGeometry;
    G.BytesPerSector = Field(Report, "sector size: ");
    G.SectorsPerCluster = Field(Report, "cluster size: ");
    G.ReservedSectors = Field(Report, "reserved (boot) sectors: ");
    G.FATs = Field(Report, "fats: ");
    G.RootEntries = Field(Report, "max available root directory slots: ");
    G.TotalSectors = Field(Report, "small size: ");
    if (G.TotalSectors == 0)
        G.TotalSectors = Field(Report, "big size: ");
    G.FATSectors = Field(Report, "sectors per fat: ");
    if (G.FATSectors == 0)
        G.FATSectors = Field(Report, "Big fatlen=");
    G.RootCluster = Field(Report, "rootCluster=");
    G.InfoSector = Field(Report, "infoSector location=");
    if (G.BytesPerSector == 0 || G.SectorsPerCluster == 0 || G.FATSectors == 0)
        Fail("minfo gave no geometry for " + FPath.string());
}

void TFatImage::MakeFolder(const std::string& DosPath)
{
    Mtools({ "mmd", Target(DosPath) });
}

void TFatImage::PutFile(const std::string& DosPath, const Bytes& Data, std::time_t MTime)
{
    const fs::path Source = FPath.parent_path() / "fat-image-source.tmp";
    WriteFileBytes(Source, Data);
    const utimbuf Times { MTime, MTime };
    ::utime(Source.c_str(), &Times);
    Mtools({ "mcopy", "-m", "-o", Source.string(), Target(DosPath) });
    fs::remove(Source);
}

void TFatImage::CopyTree(const std::vector<fs::path>& Local)
{
    std::vector<std::string> Argv { "mcopy", "-s", "-m" };
    for (const fs::path& P : Local)
        Argv.push_back(P.string());
    Argv.push_back("::/");
    Mtools(Argv);
}

void TFatImage::Delete(const std::string& DosPath)
{
    Mtools({ "mdel", Target(DosPath) });
}

void TFatImage::ForgetNextFree()
{
    if (FBits == 32 && FGeometry.InfoSector > 0)
        WriteBytes(FGeometry.InfoSector * FGeometry.BytesPerSector + 492, { 0xFF, 0xFF, 0xFF, 0xFF });
}

void TFatImage::DeleteTree(const std::string& DosPath)
{
    Mtools({ "mdeltree", Target(DosPath) });
}

std::vector<Int64> TFatImage::Chain(const std::string& DosPath)
{
    const std::string Report = Mtools({ "mshowfat", Target(DosPath) });
    std::vector<Int64> Clusters;
    // "::/A <3-5 8> <10-12>": runs and single clusters, in chain order.
    for (size_t Open = Report.find('<'); Open != std::string::npos; Open = Report.find('<', Open + 1)) {
        const size_t Close = Report.find('>', Open);
        if (Close == std::string::npos)
            break;
        std::istringstream Runs(Report.substr(Open + 1, Close - Open - 1));
        std::string Run;
        while (Runs >> Run) {
            const size_t Dash = Run.find('-');
            const Int64 First = std::stoll(Run.substr(0, Dash));
            const Int64 Last = Dash == std::string::npos ? First : std::stoll(Run.substr(Dash + 1));
            for (Int64 C = First; C <= Last; ++C)
                Clusters.push_back(C);
        }
    }
    return Clusters;
}

Int64 TFatImage::EntryOffset(const std::string& DosPath)
{
    const size_t Slash = DosPath.rfind('/');
    const std::string Parent = Slash == std::string::npos ? std::string() : DosPath.substr(0, Slash);
    const std::string Name = ShortNameField(Slash == std::string::npos ? DosPath : DosPath.substr(Slash + 1));
    // The parent's byte ranges.
    std::vector<std::pair<Int64, Int64>> Areas;
    if (!Parent.empty() || FBits == 32) {
        for (Int64 C : Chain(Parent))
            Areas.emplace_back(FGeometry.ClusterOffset(C), FGeometry.ClusterSize());
    } else {
        Areas.emplace_back(FGeometry.RootOffset(), FGeometry.RootEntries * 32);
    }
    for (auto [Offset, Length] : Areas) {
        const Bytes Area = ReadBytes(Offset, Length);
        for (Int64 At = 0; At + 32 <= Length; At += 32)
            if (std::equal(Name.begin(), Name.end(), Area.begin() + At))
                return Offset + At;
    }
    Fail("no entry " + DosPath);
}

void TFatImage::WriteBytes(Int64 Offset, const Bytes& Data)
{
    std::fstream F(FPath, std::ios::in | std::ios::out | std::ios::binary);
    F.seekp(Offset);
    F.write(reinterpret_cast<const char*>(Data.data()), std::streamsize(Data.size()));
    if (!F)
        Fail("cannot write " + FPath.string());
}

void TFatImage::SetFATEntry(Int64 Cluster, UInt64 Value)
{
    const int Width = FBits == 32 ? 4 : 2;
    Bytes Entry(static_cast<size_t>(Width));
    for (int I = 0; I < Width; ++I)
        Entry[size_t(I)] = Byte(Value >> (8 * I));
    for (Int64 N = 0; N < FGeometry.FATs; ++N)
        WriteBytes(FGeometry.FATOffset(N) + Cluster * Width, Entry);
}

Bytes TFatImage::ReadBytes(Int64 Offset, Int64 Count) const
{
    std::ifstream F(FPath, std::ios::binary);
    F.seekg(Offset);
    Bytes Data(static_cast<size_t>(Count));
    F.read(reinterpret_cast<char*>(Data.data()), std::streamsize(Count));
    Data.resize(size_t(F.gcount()));
    return Data;
}

std::string ShortNameField(const std::string& Name)
{
    std::string Field(11, ' ');
    const size_t Dot = Name.find('.');
    const std::string Base = Name.substr(0, Dot);
    const std::string Ext = Dot == std::string::npos ? std::string() : Name.substr(Dot + 1);
    Field.replace(0, std::min<size_t>(Base.size(), 8), Base.substr(0, 8));
    Field.replace(8, std::min<size_t>(Ext.size(), 3), Ext.substr(0, 3));
    return Field;
}

}
