#include "rtl/testing/FuzzTarget.h"
#include "core/XCore.ZLib.h"
#include "core/XCore.Qi.CRC.h"

// The first byte picks the operation (and the declared size some of them
// take); the rest is the compressed data.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0)
        return 0;
    const Byte Op = Data[0];
    TOwnedPtr<TBytesStream> Source(FuzzStream(Data, Size));
    const Int64 Count = Int64(Size) - 1;
    TOwnedPtr<TMemoryStream> Dest(MakeOwned<TMemoryStream>());
    switch (Op % 5) {
    case 0: xZDecompress::DecompressStream(Source.get(), Dest.get(), true, false, nullptr, Count, 1); break;
    case 1: {
        // A declared size from the op byte: exactly that many bytes must come out.
        std::vector<Byte> Buffer(size_t(Op) * 64);
        xZDecompress::DecompressBufferCRC(Source.get(), 0x12345678, Buffer.data(), false, nullptr, true,
            Int64(Buffer.size()), 1);
        break;
    }
    case 2: {
        String Text;
        xZDecompress::DecompressText(Source.get(), Text, false, nullptr, true, Count, 1);
        break;
    }
    case 3:
        xZDecompress::DecompressStreamCRC(Source.get(), 0, Dest.get(), false, nullptr, true, Count, 1, 1 << 16);
        break;
    default: {
        // Pieces of odd sizes through the stream reader.
        Source->SetPosition(1);
        TOwnedPtr<TXZDecompressionStream> Z(New<TXZDecompressionStream>(Source.get()));
        Byte Piece[97];
        try {
            while (Z->DecompressBuffer(Piece, 1 + Op % 97, nullptr) > 0 && !Z->Finished())
                ;
        } catch (const EZDecompressionError&) { }
        break;
    }
    }
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    const std::string Text = "Seeds for the inflater: some text, some text again, and a little more text.";
    for (Byte Level : { xzlFastest, xzlDefault, xzlBest })
        for (Byte Op = 0; Op < 5; ++Op) {
            TOwnedPtr<TMemoryStream> Out(MakeOwned<TMemoryStream>());
            const Byte First = Byte(Op + 5); // op 1 then asks for 384 bytes
            Out->WriteBuffer(&First, 1);
            Int64 Start = 0, Written = 0;
            xZDecompress::CompressBuffer(Out.get(), Start, Written, false, nullptr, Level, Int64(Text.size()),
                Text.data());
            Seeds.Add("level" + std::to_string(Level) + "-op" + std::to_string(Op % 5), Out.get());
        }
}
