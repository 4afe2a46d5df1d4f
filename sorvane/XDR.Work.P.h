// The formats the signature scan carves out of raw bytes, their carvers,
// validation and pictures, and the program's extension tables.
//
//     TOwnedPtr<TXDRScanFormat> F(NewScanFormat(FormatClassOf(FormatOfSignature(Sig))));
//     Int64 Last = F->FindEnd(Search, Hit);      // -1: not a file here
//     String Ext = F->ExtensionText();            // asked after FindEnd
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Intervals.h"
#include "sorvane/XCore.Search.h"
#include "core/XCore.Types.h"
#include "graphics/XMedia.Images.h"
#include "graphics/XMedia.Types.h"
#include <array>
#include <cstdint>

class TStrings;

constexpr Integer ScanFormatCount = 17;
constexpr Integer ScanSignatureCount = 17;

// A set of format numbers: bit n stands for format n.
using TXDRScanFormatSet = Cardinal;
constexpr TXDRScanFormatSet AllScanFormats = (TXDRScanFormatSet(1) << ScanFormatCount) - 1;

using TXDRSignatureMap = std::array<Integer, ScanSignatureCount>;

extern TXSize ThumbnailSize;
extern TXSize PreviewSize;

class TXDRScanFormat : public TXObject {
    X_CLASS(TXDRScanFormat, TXObject)
public:
    Byte ID = 0;
    Integer Width = 0;
    Integer Height = 0;

    void Init() override;

    virtual bool HasPreview() { return false; }
    // Stream holds the whole file from its first byte.
    virtual bool MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream, TXImageObject* Image);
    // The offset of the file's last byte, -1 when the bytes at Hit are not
    // a file of this format. Never raises.
    virtual Int64 FindEnd(TXSearch* Search, Int64 Hit);
    virtual bool Validate(TXSearch* Search, Int64 Hit);
    virtual Byte FormatID() const { return 0; }
    virtual String Extension() const;
    virtual Cardinal SignatureMask() const;

    String ExtensionText() const;
    bool ValidateBlocks(TStream* VolumeStream, TXBlocks* Blocks);
    bool MakeThumbnail(TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks, TStream* VolumeStream);
    bool MakeLargePreview(TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks, TStream* VolumeStream);

    // The bytes From .. To - 1 of a file of FileSize bytes that its
    // thumbnail is decoded from; false when making the thumbnail reads no
    // byte of the file (there is none, or it fails first). Asked after
    // FindEnd.
    bool ThumbnailBytes(Int64 FileSize, Int64& From, Int64& To);
    // The thumbnail made from those bytes: Bytes is a stream of To bytes
    // whose bytes from From on are the file's. The same answer, picture and
    // codes as MakeThumbnail from the whole file; it reads no volume, so any
    // thread may run it for a format and image no other thread touches.
    bool MakeThumbnailFrom(TStream* Bytes, TXSize& PictureSize, TXImageObject* Image);

protected:
    // The bytes from the file's start that its picture needs.
    virtual Int64 PictureEnd() const { return INT64_MAX; }
    // Where in the file its picture is decoded from; -1: nowhere.
    virtual Int64 PictureOffset() const { return -1; }
    // Decodes the JPEG at Offset of Stream into Image, fitted into
    // TargetSize; Decoded is the picture's full size.
    bool DecodePreview(const TXSize& TargetSize, TXSize& Decoded, TStream* Stream, Int64 Offset, TXImageObject* Image);

private:
    bool MakePicture(const TXSize& TargetSize, TXSize& PictureSize, TXImageObject* Image, TXBlocks* Blocks,
        TStream* VolumeStream);
};

class TXDRScanFormatJPG : public TXDRScanFormat {
    X_CLASS(TXDRScanFormatJPG, TXDRScanFormat)
public:
    bool HasPreview() override { return true; }
    bool MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream, TXImageObject* Image) override;
    Int64 FindEnd(TXSearch* Search, Int64 Hit) override;
    bool Validate(TXSearch* Search, Int64 Hit) override;
    Byte FormatID() const override { return 0; }
    // Where the compressed data starts (the end of the start-of-scan
    // segment), -1 when the segment walk fails.
    Int64 FindScanStart(TXSearch* Search, Int64 Hit);

protected:
    Int64 PictureOffset() const override { return 0; }
};

class TXDRScanFormatTIF : public TXDRScanFormat {
    X_CLASS(TXDRScanFormatTIF, TXDRScanFormat)
public:
    Int64 PreviewOffset = 0; // from the hit; 0: none
    Int64 PreviewLength = 0; // bytes of the picture; 0: up to the file's end

    bool HasPreview() override { return true; }
    bool MakePreview(const TXSize& TargetSize, TXSize& PictureSize, TStream* Stream, TXImageObject* Image) override;
    Int64 FindEnd(TXSearch* Search, Int64 Hit) override;
    Byte FormatID() const override { return 1; }

protected:
    // Up to the picture's end when its length is known.
    Int64 PictureEnd() const override;
    Int64 PictureOffset() const override { return PreviewOffset == 0 ? -1 : PreviewOffset; }
};

#define X_DR_TIF_FORMAT(Name, Number)                                                                                  \
    class Name : public TXDRScanFormatTIF {                                                                            \
        X_CLASS(Name, TXDRScanFormatTIF)                                                                               \
    public:                                                                                                            \
        Byte FormatID() const override { return Number; }                                                              \
    };
X_DR_TIF_FORMAT(TXDRScanFormatDNG, 2)
X_DR_TIF_FORMAT(TXDRScanFormatCR2, 3)
X_DR_TIF_FORMAT(TXDRScanFormatNEF, 4)
X_DR_TIF_FORMAT(TXDRScanFormatORF, 5)
X_DR_TIF_FORMAT(TXDRScanFormatPEF, 6)
X_DR_TIF_FORMAT(TXDRScanFormatARW, 7)
X_DR_TIF_FORMAT(TXDRScanFormatARWTIF, 8)
X_DR_TIF_FORMAT(TXDRScanFormatSRF, 9)
X_DR_TIF_FORMAT(TXDRScanFormatSR2, 10)
X_DR_TIF_FORMAT(TXDRScanFormatRAW, 11)
X_DR_TIF_FORMAT(TXDRScanFormatRW2, 13)
#undef X_DR_TIF_FORMAT

class TXDRScanFormatMRW : public TXDRScanFormat {
    X_CLASS(TXDRScanFormatMRW, TXDRScanFormat)
public:
    Int64 FindEnd(TXSearch* Search, Int64 Hit) override;
    Byte FormatID() const override { return 12; }
};

class TXDRScanFormatAVI : public TXDRScanFormat {
    X_CLASS(TXDRScanFormatAVI, TXDRScanFormat)
public:
    Int64 FindEnd(TXSearch* Search, Int64 Hit) override;
    Byte FormatID() const override { return 14; }
};

class TXDRScanFormatMOV : public TXDRScanFormat {
    X_CLASS(TXDRScanFormatMOV, TXDRScanFormat)
public:
    Int64 FindEnd(TXSearch* Search, Int64 Hit) override;
    Byte FormatID() const override { return 15; }
};

class TXDRScanFormatMP4 : public TXDRScanFormatMOV {
    X_CLASS(TXDRScanFormatMP4, TXDRScanFormatMOV)
public:
    Byte FormatID() const override { return 16; }
};

// The class of a format number (masked with 0x7F); numbers outside 1..16
// give the JPEG class.
TClass FormatClassOf(Integer Number);
// A new carver of a class FormatClassOf answers.
TXDRScanFormat* NewScanFormat(TClass FormatClass);
// The class among formats 0..16 whose extension equals the lower-cased
// text; null when none.
TClass FormatClassOfExtension(const String& Text);
// 1 image, 2 video, 3 audio, 0 none.
Integer ExtensionCategory(const String& Text);

// The patterns of the formats' signatures and their masks (as
// TXSearch::FindAny takes them; empty where a pattern compares whole).
void BuildSignatures(TXByteArrays& Patterns, TXByteArrays& Masks, TXDRSignatureMap& Map, TXDRScanFormatSet Formats);
Integer SignatureOfPattern(const TXDRSignatureMap& Map, Integer PatternIndex);
Integer FormatOfSignature(Integer Number);

extern const char16_t* const ImageExtensions[46];
extern const char16_t* const VideoExtensions[17];
extern const char16_t* const AudioExtensions[10];
