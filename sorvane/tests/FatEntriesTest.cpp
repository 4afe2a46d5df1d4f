// Directory entries judged from raw bytes: the plausibility tests as one
// table, and the name, cluster and dates an entry decodes to.
#include "rtl/DateTime.h"
#include "sorvane/XDR.Work.F.h"
#include <array>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using TEntry = std::array<Byte, 32>;

TEntry MakeEntry(const char* Name11, Byte Attributes, Cardinal Size = 0, Cardinal Cluster = 0)
{
    TEntry E {};
    std::memcpy(E.data(), Name11, 11);
    E[11] = Attributes;
    E[20] = Byte(Cluster >> 16);
    E[21] = Byte(Cluster >> 24);
    E[26] = Byte(Cluster);
    E[27] = Byte(Cluster >> 8);
    for (int I = 0; I < 4; ++I)
        E[size_t(28 + I)] = Byte(Size >> (8 * I));
    return E;
}

TEntry With(TEntry E, size_t At, Byte Value)
{
    E[At] = Value;
    return E;
}

TEST(FatEntries, PlausibilityTable)
{
    const TEntry File = MakeEntry("PHOTO   JPG", 0x20, 1234, 5);
    const TEntry DotDot = MakeEntry("..         ", 0x10);
    TEntry LongName = MakeEntry("Ap\0h\0o\0t\0o\0", 0x0F);
    struct TCase {
        const char* What;
        TEntry Entry;
        bool Valid, IsFile, IsSubdir;
    };
    const TCase Cases[] = {
        { "plain file", File, true, true, false },
        { "deleted file (E5)", With(File, 0, 0xE5), true, true, false },
        { "lower-case letter", With(File, 2, 'o'), false, false, false },
        { "dot in the name", With(File, 3, '.'), false, false, false },
        { "control character", With(File, 9, 0x01), false, false, false },
        { "empty file", MakeEntry("EMPTY   TXT", 0x20, 0, 0), true, false, false },
        { "tenths 199", With(File, 13, 199), true, true, false },
        { "tenths 200", With(File, 13, 200), false, true, false },
        { "attributes 64", With(File, 11, 0x40), false, true, false },
        { "folder", MakeEntry("DCIM       ", 0x10, 0, 3), true, false, true },
        { "folder with size 513", MakeEntry("DCIM       ", 0x10, 513, 3), false, false, true },
        { "folder with size 1024", MakeEntry("DCIM       ", 0x10, 1024, 3), true, false, true },
        { "volume label", MakeEntry("CARD       ", 0x08), true, false, false },
        { "dot entry", MakeEntry(".          ", 0x10), true, false, false },
        { "dot-dot entry", DotDot, true, false, false },
        { "dot-dot with attributes 30", With(DotDot, 11, 0x30), false, false, false },
        { "dot-dot with a size", MakeEntry("..         ", 0x10, 512), false, false, false },
        { "dot followed by a letter", MakeEntry(".A         ", 0x10), false, false, false },
        { "long-name part", LongName, true, false, false },
        { "long-name part with a type", With(LongName, 12, 1), false, false, false },
        { "long-name part with a cluster", With(LongName, 26, 1), false, false, false },
        { "all zeros (end)", TEntry {}, true, false, false },
        { "zero first byte, then data", With(TEntry {}, 31, 1), false, false, false },
        { "first byte 05", With(File, 0, 0x05), true, true, false },
        { "high bytes", With(With(File, 1, 0x80), 10, 0xFF), true, true, false },
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        EXPECT_EQ(IsValidDirEntry(C.Entry.data()), C.Valid);
        EXPECT_EQ(IsFileDirEntry(C.Entry.data()), C.IsFile);
        EXPECT_EQ(IsSubdirectoryEntry(C.Entry.data()), C.IsSubdir);
    }
    EXPECT_TRUE(IsEndDirEntry(TEntry {}.data()));
    EXPECT_TRUE(IsErasedDirEntry(With(File, 0, 0xE5).data()));
    EXPECT_TRUE(IsLongNameEntry(LongName.data()));
    EXPECT_FALSE(IsValidShortName(LongName.data()));
    EXPECT_EQ(DirEntryAttributes(With(File, 11, 0xFF).data()), 0x3F);
}

TEST(FatEntries, NameClusterAndDates)
{
    TEntry E = MakeEntry("PHOTO   JPG", 0x20, 1234, 0x00120034);
    EXPECT_EQ(DirEntryName(E.data()), u"PHOTO.JPG");
    EXPECT_EQ(DirEntryName(MakeEntry("README     ", 0x20, 1).data()), u"README.");
    EXPECT_EQ(DirEntryName(With(E, 0, 0x05).data()), u"\u00E5HOTO.JPG");
    EXPECT_EQ(DirEntryFirstCluster(E.data(), true), 0x00120034u);
    EXPECT_EQ(DirEntryFirstCluster(E.data(), false), 0x0034u);
    EXPECT_EQ(DirEntryFileSize(E.data()), 1234u);

    // Written 2024-03-05 14:07:32, created 2023-12-31 23:59:58, accessed 2024-03-06.
    auto Put16 = [&E](size_t At, Word V) {
        E[At] = Byte(V);
        E[At + 1] = Byte(V >> 8);
    };
    Put16(22, Word(14 << 11 | 7 << 5 | 16));
    Put16(24, Word(44 << 9 | 3 << 5 | 5));
    Put16(14, Word(23 << 11 | 59 << 5 | 29));
    Put16(16, Word(43 << 9 | 12 << 5 | 31));
    Put16(18, Word(44 << 9 | 3 << 5 | 6));
    EXPECT_EQ(DirEntryModified(E.data()), EncodeDateTime(2024, 3, 5, 14, 7, 32, 0));
    EXPECT_EQ(DirEntryCreated(E.data()), EncodeDateTime(2023, 12, 31, 23, 59, 58, 0));
    EXPECT_EQ(DirEntryAccessed(E.data()), EncodeDate(2024, 3, 6));
    // Stamps that do not convert, and long-name parts, read as 0.
    Put16(24, 0);
    EXPECT_EQ(DirEntryModified(E.data()), 0);
    EXPECT_EQ(DirEntryCreated(With(E, 11, 0x0F).data()), 0);
}

}
