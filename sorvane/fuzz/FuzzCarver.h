// Shared body of the carver fuzz targets: the input is the whole stream,
// the carver starts at offset 0, and a JPEG or TIFF answer also makes its
// thumbnail from the carved bytes.
#pragma once
#include "rtl/testing/FuzzTarget.h"
#include "sorvane/XDR.Work.P.h"
#include "rtl/Streams.h"
#include "rtl/Units.h"
#include <cstddef>
#include <cstdint>

inline void FuzzCarver(TClass Class, const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TBytesStream> Stream(FuzzStream(Data, Size));
    TOwnedPtr<TXSearch> Search(New<TXSearch>(nullptr));
    Search->Stream = Stream.get();
    TOwnedPtr<TXDRScanFormat> Format(NewScanFormat(Class));
    const Int64 End = Format->FindEnd(Search.get(), 0);
    if (End >= Int64(Size))
        __builtin_trap(); // a carver never claims bytes that are not there
    Format->ExtensionText();
    if (End >= 0 && Format->HasPreview()) {
        // The picture as the scan makes it: through the carved file's blocks.
        TOwnedPtr<TXBlocks> Blocks(New<TXBlocks>());
        Blocks->Add(0, End + 1);
        TOwnedPtr<TXImageObject> Image(New<TXImageObject>());
        TXSize PictureSize;
        Format->MakeThumbnail(PictureSize, Image.get(), Blocks.get(), Stream.get());
    }
    Search->Stream = nullptr;
}
