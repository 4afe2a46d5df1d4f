// The signature scan over a 1 GiB image file in the page cache holding 200
// JPEGs, next to a plain pread loop over the same file (the read limit),
// and, when foremost is installed, foremost carving the same image. Prints
// MB/s, the ratio to pread and the found-file counts.
#include "gdi/Bitmap.h"
#include "gdi/JpegImage.h"
#include "rtl/Units.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include "sorvane/XCore.Streams.Buffered.h"
#include "sorvane/XDR.Work.S.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr Int64 ImageSize = Int64(1) << 30;
constexpr Integer JpegCount = 200;
const std::string ImagePath = "/tmp/quorvale-scan-bench.img";

std::vector<Byte> MakeJpeg()
{
    TOwnedPtr<TBitmap> Pixels(New<TBitmap>());
    Pixels->SetSize(800, 600);
    std::mt19937 Random(5);
    for (Integer Y = 0; Y < Pixels->Height(); ++Y) {
        Byte* Row = Pixels->ScanLine(Y);
        for (Integer X = 0; X < Pixels->BytesPerScanline(); ++X)
            Row[X] = Byte((X * 3 + Y) / 7 + Random() % 24);
    }
    TOwnedPtr<TJPEGImage> Jpeg(New<TJPEGImage>());
    Jpeg->Assign(Pixels.get());
    TOwnedPtr<TBytesStream> Out(New<TBytesStream>());
    Jpeg->SaveToStream(Out.get());
    return std::vector<Byte>(Out->Bytes().begin(), Out->Bytes().begin() + Out->Size());
}

// Filler bytes 1..250 (no signature starts a sector), with the JPEGs at
// evenly spread sector starts.
void MakeImage()
{
    const std::vector<Byte> Jpeg = MakeJpeg();
    std::vector<Byte> Chunk(1 << 20);
    for (size_t I = 0; I < Chunk.size(); ++I)
        Chunk[I] = Byte(1 + I % 250);
    int Fd = ::open(ImagePath.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
    bool Ok = Fd >= 0;
    for (Int64 Off = 0; Ok && Off < ImageSize; Off += Int64(Chunk.size()))
        Ok = ::pwrite(Fd, Chunk.data(), Chunk.size(), Off) == ssize_t(Chunk.size());
    const Int64 Spacing = ImageSize / JpegCount / 512 * 512;
    for (Integer I = 0; Ok && I < JpegCount; ++I)
        Ok = ::pwrite(Fd, Jpeg.data(), Jpeg.size(), I * Spacing + 4096) == ssize_t(Jpeg.size());
    if (!Ok) {
        std::perror("bench image");
        std::exit(1);
    }
    ::close(Fd);
}

double Seconds(std::chrono::steady_clock::duration D)
{
    return std::chrono::duration<double>(D).count();
}

double PreadRate()
{
    int Fd = ::open(ImagePath.c_str(), O_RDONLY);
    std::vector<char> Buffer(262144);
    const auto Start = std::chrono::steady_clock::now();
    Int64 Total = 0;
    for (Int64 Off = 0; Off < ImageSize; Off += Int64(Buffer.size()))
        Total += ::pread(Fd, Buffer.data(), Buffer.size(), Off);
    const double S = Seconds(std::chrono::steady_clock::now() - Start);
    ::close(Fd);
    return double(Total) / S / 1e6;
}

struct TCounter : TObject {
    Integer Found = 0;
    void Seen(IXNotification*) { ++Found; }
};

double ScanRate(Integer& Found)
{
    TOwnedPtr<TXBufDiskStream> Disk(New<TXBufDiskStream>(S(ImagePath), 262144, xofRead));
    TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
    Blocks->Add(0, ImageSize);
    TOwnedPtr<TXDRFileCollection> Files(New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)));
    TOwnedPtr<TXWorker> Worker(New<TXWorker>(IPtr<IInterface>()));
    TCounter Counter;
    Worker->Subscribe(TXDRFoundFileAspect::StaticClass(), TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Worker = IPtr<IXWorker>(Worker.get());
    const auto Start = std::chrono::steady_clock::now();
    ScanBlocks(Search.get(), Disk.get(), Blocks.get(), Files.get());
    const double S = Seconds(std::chrono::steady_clock::now() - Start);
    Search->Worker = nullptr;
    Worker->UnsubscribeMethod(TXNotificationHandler::Of<&TCounter::Seen>(&Counter));
    Found = Counter.Found;
    return double(ImageSize) / S / 1e6;
}

// foremost's rate and its count of carved JPEGs; -1 when it is not installed.
double ForemostRate(Integer& Found)
{
    Found = -1;
    if (std::system("command -v foremost >/dev/null 2>&1") != 0)
        return 0;
    const std::string Out = "/tmp/quorvale-scan-bench-foremost";
    std::filesystem::remove_all(Out);
    const std::string Cmd = "foremost -q -t jpg -i " + ImagePath + " -o " + Out + " >/dev/null 2>&1";
    const auto Start = std::chrono::steady_clock::now();
    const int Rc = std::system(Cmd.c_str());
    const double S = Seconds(std::chrono::steady_clock::now() - Start);
    Found = 0;
    std::error_code E;
    if (Rc == 0 && std::filesystem::exists(Out + "/jpg"))
        for (const auto& F : std::filesystem::directory_iterator(Out + "/jpg", E))
            Found += F.is_regular_file() ? 1 : 0;
    std::filesystem::remove_all(Out, E);
    return double(ImageSize) / S / 1e6;
}

} // namespace

int main()
{
    InitializeUnits();
    MakeImage();
    PreadRate();                    // warms the page cache
    const double Pread = PreadRate();
    Integer Found = 0;
    const double Scan = ScanRate(Found);
    Integer ForemostFound = -1;
    const double Foremost = ForemostRate(ForemostFound);
    std::printf("image: %lld MB, %d JPEGs\n", (long long)(ImageSize / 1000000), JpegCount);
    std::printf("%-22s %10.1f MB/s\n", "pread", Pread);
    std::printf("%-22s %10.1f MB/s  ratio to pread %.3f  found %d\n", "ScanBlocks", Scan, Scan / Pread, Found);
    if (ForemostFound >= 0)
        std::printf("%-22s %10.1f MB/s  ratio to pread %.3f  found %d  (ScanBlocks / foremost %.2f)\n", "foremost -q",
                    Foremost, Foremost / Pread, ForemostFound, Scan / Foremost);
    else
        std::printf("foremost is not installed\n");
    ::unlink(ImagePath.c_str());
    FinalizeUnits();
    return 0;
}
