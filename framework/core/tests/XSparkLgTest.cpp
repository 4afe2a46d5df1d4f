#include "core/XCore.Strings.h"
#include "core/XSpark.Lg.h"
#include "rtl/Streams.h"
#include <gtest/gtest.h>

namespace {
// A value as word tables store it: the UTF-8 bytes in base-36 digits.
std::string Coded(const std::string& Utf8)
{
    const TCodePageString D = xStr::EncodeDigits({ RawBytes(Utf8), CP_UTF8 }, 36);
    return std::string(D.Bytes.begin(), D.Bytes.end());
}

std::string Utf16(const std::string& Ascii, bool Little)
{
    std::string Out = Little ? "\xFF\xFE" : "\xFE\xFF";
    for (char C : Ascii)
        Out += Little ? std::string { C, '\0' } : std::string { '\0', C };
    return Out;
}
}

// A word table's byte-order mark names its encoding and is not part of the
// first id; without one the bytes are ANSI.
TEST(WordTables, TheByteOrderMarkNamesTheEncoding)
{
    const std::string Line = "1A=" + Coded("Grüße") + "\r\n";
    const std::string Rows[][2] = {
        { "UTF-8 mark", "\xEF\xBB\xBF" + Line },
        { "UTF-16 little-endian mark", Utf16(Line, true) },
        { "UTF-16 big-endian mark", Utf16(Line, false) },
        { "ANSI", Line },
    };
    for (const auto& [Name, Bytes] : Rows) {
        SCOPED_TRACE(Name);
        TOwnedPtr<TXW> Words(MakeOwned<TXW>());
        TOwnedPtr<TBytesStream> Stream(New<TBytesStream>(std::vector<Byte>(Bytes.begin(), Bytes.end())));
        ASSERT_TRUE(LoadWords(Words.get(), Stream.get()));
        EXPECT_EQ(Words->GetWord(0x1A), u"Grüße");
    }
}
