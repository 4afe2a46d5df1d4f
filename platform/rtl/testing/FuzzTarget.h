// Shared frame of the libFuzzer targets (fuzz/Fuzz*.cpp beside a library).
// A target includes this header once, defines LLVMFuzzerTestOneInput and
// the seeds it starts from:
//
//     void FuzzSeeds(TFuzzSeeds& Seeds)
//     {
//         Seeds.Add("plain", Bytes);                  // made by our own writer
//         Seeds.AddFromTool("palette.png", { "convert", "-size", "4x4", "xc:red", "PNG8:{}" });
//     }
//
// Units are initialised before the first input. Run with X_FUZZ_SEEDS set
// to a folder, the program writes its seeds there and ends instead of
// fuzzing: scripts/fuzz starts every target from them.
#pragma once
#include "rtl/Streams.h"
#include "rtl/Units.h"
#include "rtl/testing/Testing.h"
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

class TFuzzSeeds {
public:
    void Add(std::string Name, RawBytes Bytes) { FItems.emplace_back(std::move(Name), std::move(Bytes)); }
    // The whole stream.
    void Add(std::string Name, TStream* Stream)
    {
        RawBytes Bytes(size_t(Stream->Size()), '\0');
        Stream->SetPosition(0);
        if (!Bytes.empty())
            Stream->ReadBuffer(Bytes.data(), Int64(Bytes.size()));
        Add(std::move(Name), std::move(Bytes));
    }
    // The file a tool writes where its arguments say {}, after Prefix and
    // cut or zero-filled to Size bytes when Size is not negative; nothing
    // when the tool is missing or fails (the other seeds still start the run).
    void AddFromTool(std::string Name, std::vector<std::string> Argv, const RawBytes& Prefix = {}, Int64 Size = -1)
    {
        Testing::TTempFolder Folder("fuzz-seed");
        const std::string File = (Folder / "seed").string();
        for (std::string& Arg : Argv)
            for (size_t At; (At = Arg.find("{}")) != std::string::npos;)
                Arg.replace(At, 2, File);
        if (Testing::RunTool(Argv).ExitCode != 0) {
            std::fprintf(stderr, "seed %s not made by %s\n", Name.c_str(), Argv[0].c_str());
            return;
        }
        const Testing::Bytes Made = Testing::ReadFileBytes(File);
        RawBytes Bytes = Prefix + RawBytes(Made.begin(), Made.end());
        if (Size >= 0)
            Bytes.resize(size_t(Size), '\0');
        Add(std::move(Name), std::move(Bytes));
    }
    const std::vector<std::pair<std::string, RawBytes>>& Items() const { return FItems; }

private:
    std::vector<std::pair<std::string, RawBytes>> FItems;
};

void FuzzSeeds(TFuzzSeeds& Seeds);

// The input as a stream at position 0.
inline TOwnedPtr<TBytesStream> FuzzStream(const std::uint8_t* Data, std::size_t Size)
{
    return TOwnedPtr<TBytesStream>(New<TBytesStream>(std::vector<Byte>(Data, Data + Size)));
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitializeUnits();
    const char* Folder = std::getenv("X_FUZZ_SEEDS");
    if (!Folder)
        return 0;
    TFuzzSeeds Seeds;
    FuzzSeeds(Seeds);
    std::filesystem::create_directories(Folder);
    for (const auto& [Name, Bytes] : Seeds.Items())
        std::ofstream(std::filesystem::path(Folder) / Name, std::ios::binary) << Bytes;
    std::_Exit(Seeds.Items().empty() ? 1 : 0);
}
