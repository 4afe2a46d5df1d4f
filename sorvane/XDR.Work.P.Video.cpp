// The video carvers: AVI by its RIFF size, QuickTime and MP4 by their
// top-level atoms.
#include "sorvane/XDR.Work.P.h"
#include "core/XCore.Errors.h"
#include "sorvane/XCore.Services.h"
#include "sorvane/XDR.Work.P.Reader.h"
#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

X_REGISTER_CLASS(TXDRScanFormatAVI)
X_REGISTER_CLASS(TXDRScanFormatMOV)
X_REGISTER_CLASS(TXDRScanFormatMP4)

// ---- AVI ----

Int64 TXDRScanFormatAVI::FindEnd(TXSearch* Search, Int64 Hit)
{
    TXDRReader R(Search);
    Byte Head[12];
    if (!R.Read(Head, 12, Hit) || std::memcmp(Head, "RIFF", 4) != 0 || std::memcmp(Head + 8, "AVI ", 4) != 0)
        return -1;
    const Int64 S = Int64(Head[4]) | Int64(Head[5]) << 8 | Int64(Head[6]) << 16 | Int64(Head[7]) << 24;
    if (S == 0)
        return -1;
    return std::min(Hit + S + 7, R.Size - 1);
}

// ---- QuickTime ----

namespace {

// ftyp brands are read up to this length.
constexpr Int64 MaxBrandText = 4096;

// The top-level atoms a file is walked over. "wide" is padding that
// cameras put between "ftyp" and "mdat" (it is kept free for a 64-bit
// size), so it is walked like "free".
bool IsWalkedAtom(const std::string& Type)
{
    for (const char* Known : { "ftyp", "skip", "mdat", "moov", "free", "wide", "uuid" })
        if (Type == Known)
            return true;
    return false;
}

// Whether a brand names a QuickTime or MP4 family movie.
bool IsKnownBrand(const std::string& Brand)
{
    for (const char* Prefix : { "iso", "mp4", "3gp", "3g2", "M4" })
        if (Brand.compare(0, std::strlen(Prefix), Prefix) == 0)
            return true;
    for (const char* Known : { "qt  ", "avc1", "MSNV", "XAVC", "mmp4", "f4v ", "dash", "caqv", "CAEP", "NDAS" })
        if (Brand == Known)
            return true;
    return false;
}

// The major brand (first four bytes) or a compatible one (from the ninth
// on, four bytes each) is known.
bool HasKnownBrand(const std::string& Brands)
{
    if (Brands.size() >= 4 && IsKnownBrand(Brands.substr(0, 4)))
        return true;
    for (size_t At = 8; At + 4 <= Brands.size(); At += 4)
        if (IsKnownBrand(Brands.substr(At, 4)))
            return true;
    return false;
}

} // namespace

// A file is a chain of well-formed top-level atoms from Hit on, led by an
// "ftyp" of at least 16 bytes with a known brand or holding the movie's
// data ("mdat"; a "moov" alone is the tail of a movie whose start lies
// before it); it ends before the first atom that is no walked atom or
// whose size makes no progress.
Int64 TXDRScanFormatMOV::FindEnd(TXSearch* Search, Int64 Hit)
{
    ID = 15;
    try {
        TXDRReader R(Search);
        const Int64 Available = R.Size - Hit;
        Int64 Offset = 0;
        bool Movie = false;
        for (;;) {
            if (IsAppTerminated() || R.Cancelled())
                return -1;
            Byte Head[8];
            if (!R.Read(Head, 8, Hit + Offset))
                break;
            Int64 Size = Int64(Head[0]) << 24 | Int64(Head[1]) << 16 | Int64(Head[2]) << 8 | Head[3];
            const std::string Type(reinterpret_cast<const char*>(Head + 4), 4);
            if (!IsWalkedAtom(Type))
                break;
            if (Size == 1) {
                Byte Big[8];
                if (!R.Read(Big, 8, Hit + Offset + 8))
                    break;
                UInt64 V = 0;
                for (Byte B : Big)
                    V = V << 8 | B;
                // A size with its top bit set would walk backwards.
                Size = V > UInt64(INT64_MAX) ? 0 : Int64(V);
            }
            // Sizes below a header's length make no progress: the file
            // ends before such an atom.
            if (Size < 8)
                break;
            if (Type == "ftyp" && Offset == 0) {
                // Major brand, minor version, one compatible brand at least.
                if (Size < 16)
                    return -1;
                const Int64 Count = std::min({ Size - 8, MaxBrandText, Available - Offset - 8 });
                std::string Brands(static_cast<size_t>(std::max<Int64>(Count, 0)), '\0');
                if (Count < 4 || !R.Read(Brands.data(), Count, Hit + Offset + 8) || !HasKnownBrand(Brands))
                    return -1;
                Movie = true;
                if (Brands.find("mp4") != std::string::npos)
                    ID = 16;
            } else if (Type == "mdat") {
                Movie = true;
            }
            // An atom cut by the end of the stream keeps the bytes there are.
            if (Size >= Available - Offset) {
                Offset = Available;
                break;
            }
            Offset += Size;
        }
        return Movie && Offset > 0 ? Hit + Offset - 1 : -1;
    } catch (const std::exception&) {
        CheckXError();
        return -1;
    }
}
