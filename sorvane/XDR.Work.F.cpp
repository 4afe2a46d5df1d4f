#include "sorvane/XDR.Work.F.h"
#include "rtl/CodePages.h"
#include "rtl/DateTime.h"
#include "rtl/Format.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/Units.h"
#include "core/XCore.Errors.h"
#include "win/Time.h"
#include <algorithm>
#include <string>

X_REGISTER_CLASS(TXFileSystemEntry)
X_REGISTER_CLASS(TXFileSystemEntryList)
X_REGISTER_CLASS(TXFileSystemFolderEntry)
X_REGISTER_CLASS(TXFileSystem)

namespace {

constexpr Byte AttrDirectory = 0x10;
constexpr Byte AttrVolumeLabel = 0x08;
constexpr Byte AttrLongName = 0x0F;

Word Le16(const Byte* P)
{
    return Word(P[0] | P[1] << 8);
}
Cardinal Le32(const Byte* P)
{
    return Cardinal(Le16(P)) | Cardinal(Le16(P + 2)) << 16;
}

// Characters a short name may hold after its first byte.
bool IsNameChar(Byte B)
{
    if (B >= 0x80 || B == ' ' || (B >= '0' && B <= '9') || (B >= 'A' && B <= 'Z'))
        return true;
    static constexpr char Marks[] = "!#$%&'()-@^_{}~";
    return std::find(std::begin(Marks), std::end(Marks) - 1, char(B)) != std::end(Marks) - 1;
}

// The first byte also takes 00 (end), 05 (a name starting with E5) and "."
// (dot entries).
bool IsFirstNameChar(Byte B)
{
    return B == 0x00 || B == 0x05 || B == '.' || IsNameChar(B);
}

TDateTime DosStampToDateTime(Word Date, Word Time)
{
    FILETIME File;
    SYSTEMTIME System;
    TDateTime Value = 0;
    if (DosDateTimeToFileTime(Date, Time, File) && FileTimeToSystemTime(File, System) &&
        TrySystemTimeToDateTime(System, Value))
        return Value;
    CheckXError();
    return 0;
}

String TrimmedField(const Byte* P, size_t Length)
{
    return Trim(AnsiToString(std::string_view(reinterpret_cast<const char*>(P), Length)));
}

TXFileSystemEntryList* GEmptyChildren = nullptr;

void InitFileSystemEntries()
{
    if (!GEmptyChildren)
        GEmptyChildren = New<TXFileSystemEntryList>();
}

void DoneFileSystemEntries()
{
    FreeAndNil(GEmptyChildren);
}

String DateTimeText(TDateTime Value)
{
    if (Value == 0)
        return u"0";
    Word Y, Mo, D, H, Mi, S, Ms;
    DecodeDateTime(Value, Y, Mo, D, H, Mi, S, Ms);
    return Format(u"%.4d-%.2d-%.2d %.2d:%.2d:%.2d",
        { Integer(Y), Integer(Mo), Integer(D), Integer(H), Integer(Mi), Integer(S) });
}

} // namespace

X_UNIT(XDR_Work_F, "XDR.Work.F", { "XCore.Classes" }, &InitFileSystemEntries, &DoneFileSystemEntries)

// --- entry tests ---------------------------------------------------------------

bool IsEndDirEntry(const Byte* Entry)
{
    return Entry[0] == 0;
}
bool IsErasedDirEntry(const Byte* Entry)
{
    return Entry[0] == 0xE5;
}
bool IsDotDirEntry(const Byte* Entry)
{
    return Entry[0] == '.';
}
bool IsLongNameEntry(const Byte* Entry)
{
    return Entry[11] == AttrLongName;
}

bool IsSubdirectoryEntry(const Byte* Entry)
{
    return (Entry[11] & AttrDirectory) != 0 && !IsDotDirEntry(Entry) && !IsLongNameEntry(Entry);
}

bool IsFileDirEntry(const Byte* Entry)
{
    return IsValidShortName(Entry) && !IsSubdirectoryEntry(Entry) && !IsDotDirEntry(Entry) && !IsEndDirEntry(Entry) &&
        DirEntryFileSize(Entry) != 0;
}

bool IsValidShortName(const Byte* Entry)
{
    if (IsLongNameEntry(Entry) || !IsFirstNameChar(Entry[0]))
        return false;
    if (!std::all_of(Entry + 1, Entry + 11, IsNameChar))
        return false;
    if (Entry[11] & (AttrVolumeLabel | AttrDirectory))
        return DirEntryFileSize(Entry) % 512 == 0;
    return true;
}

bool IsValidDirEntry(const Byte* Entry)
{
    if (Entry[0] == 0)
        return std::all_of(Entry, Entry + DirEntryBytes, [](Byte B) { return B == 0; });
    if (Entry[0] == '.') {
        static constexpr Byte Dot[8] = { '.', ' ', ' ', ' ', ' ', ' ', ' ', ' ' };
        static constexpr Byte DotDot[8] = { '.', '.', ' ', ' ', ' ', ' ', ' ', ' ' };
        const bool NameOk = std::equal(Entry, Entry + 8, Dot) || std::equal(Entry, Entry + 8, DotDot);
        const bool ExtOk = Entry[8] == ' ' && Entry[9] == ' ' && Entry[10] == ' ';
        return NameOk && ExtOk && DirEntryFileSize(Entry) == 0 && Entry[11] == AttrDirectory;
    }
    if (IsLongNameEntry(Entry))
        return Entry[12] == 0 && Le16(Entry + 26) == 0;
    return IsValidShortName(Entry) && Entry[13] < 200 && Entry[11] < 64;
}

TXDirEntryAttributes DirEntryAttributes(const Byte* Entry)
{
    return TXDirEntryAttributes(Entry[11] & 0x3F);
}

Cardinal DirEntryFirstCluster(const Byte* Entry, bool IsFAT32)
{
    const Cardinal Low = Le16(Entry + 26);
    return IsFAT32 ? Cardinal(Le16(Entry + 20)) << 16 | Low : Low;
}

Cardinal DirEntryFileSize(const Byte* Entry)
{
    return Le32(Entry + 28);
}

String DirEntryName(const Byte* Entry)
{
    Byte Base[8];
    std::copy(Entry, Entry + 8, Base);
    if (Base[0] == 0x05)
        Base[0] = 0xE5;
    return TrimmedField(Base, 8) + u"." + TrimmedField(Entry + 8, 3);
}

TDateTime DirEntryCreated(const Byte* Entry)
{
    return IsLongNameEntry(Entry) ? 0 : DosStampToDateTime(Le16(Entry + 16), Le16(Entry + 14));
}

TDateTime DirEntryModified(const Byte* Entry)
{
    return IsLongNameEntry(Entry) ? 0 : DosStampToDateTime(Le16(Entry + 24), Le16(Entry + 22));
}

TDateTime DirEntryAccessed(const Byte* Entry)
{
    return IsLongNameEntry(Entry) ? 0 : DosStampToDateTime(Le16(Entry + 18), 0);
}

// --- entry records --------------------------------------------------------------

TXFileSystemEntryList* TXFileSystemEntry::Children()
{
    return GEmptyChildren;
}

void TXFileSystemEntry::Dump(TStrings* Lines)
{
    Lines->Add(Format(u"  %s Size: %d Cluster: %u Flags: %d Created: %s Modified: %s Accessed: %s",
        { Name, Size, FirstCluster, Integer(Flags), DateTimeText(Created), DateTimeText(Modified),
            DateTimeText(Accessed) }));
}

void TXFileSystemFolderEntry::Create()
{
    inherited::Create();
    FChildren = MakeOwned<TXFileSystemEntryList>();
}

// --- file system -------------------------------------------------------------------

void TXFileSystem::Create()
{
    inherited::Create();
    FEntries = MakeOwned<TXFileSystemEntryList>();
}

bool TXFileSystem::Open(TStream* AStream, const TXDiskInfoRecord& AInfo)
{
    Stream = AStream;
    Info = AInfo;
    return true;
}
