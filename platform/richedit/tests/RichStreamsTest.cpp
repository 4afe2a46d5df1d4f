#include "richedit/RichStreams.h"
#include "rtl/Streams.h"
#include "rtl/testing/Testing.h"
#include <gtest/gtest.h>

using Testing::U8;

namespace {

TOwnedPtr<TBytesStream> BytesStream(const RawBytes& Bytes)
{
    return TOwnedPtr<TBytesStream>(New<TBytesStream>(std::vector<Byte>(Bytes.begin(), Bytes.end())));
}

// A stream whose reads fail after its first bytes.
class TFailingStream : public TBytesStream {
    X_CLASS(TFailingStream, TBytesStream)
public:
    Int64 Read(void* Buffer, Int64 Count) override
    {
        if (Position() > 0)
            throw EReadError(u"device gone");
        return inherited::Read(Buffer, Count < 2 ? Count : 2);
    }
};
X_REGISTER_CLASS(TFailingStream)

String Load(const RawBytes& Bytes, bool PlainText, size_t Chunk)
{
    TRichDocument Doc;
    LoadRichStream(BytesStream(Bytes).get(), Doc, PlainText, 0, Chunk);
    return Doc.Text();
}

}

TEST(RichStreams, PlainTextReadInPieces)
{
    struct TCase {
        const char* Name;
        RawBytes Bytes;
        const char16_t* Text;
    };
    const TCase Cases[] = {
        { "no RTF header reads as plain text", "Hello", u"Hello" },
        { "UTF-8 with a mark and LF ends", "\xEF\xBB\xBFone\ntwo\n", u"one\rtwo\r" },
        { "CR LF, lone CR and lone LF", "a\r\nb\rc\nd\r\n\r\ne", u"a\rb\rc\rd\r\re" },
        { "only the first mark is dropped", "\xEF\xBB\xBFx\xEF\xBB\xBFy", u"x\uFEFFy" },
        { "UTF-16 little-endian with a pair", RawBytes("\xFF\xFEh\0=\xD8\0\xDE\r\0\n\0", 12), u"h\U0001F600\r" },
        { "UTF-16 big-endian", RawBytes("\xFE\xFF\0h\0i", 6), u"hi" },
        { "ANSI without a mark", "caf\xE9\x80", u"caf\u00E9\u20AC" },
    };
    // Every piece size, so each pair, sequence and mark is cut somewhere.
    for (const TCase& C : Cases)
        for (size_t Chunk = 1; Chunk <= C.Bytes.size() + 1; ++Chunk)
            EXPECT_EQ(U8(Load(C.Bytes, false, Chunk)), U8(C.Text)) << C.Name << ", pieces of " << Chunk;
    // Rich text as such unless the control holds plain text.
    EXPECT_EQ(U8(Load("{\\rtf1 a\\par b}", false, 3)), "a\rb");
    EXPECT_EQ(U8(Load("{\\rtf1 a}", true, 3)), "{\\rtf1 a}");
}

TEST(RichStreams, AFailingReadRaisesInEveryMode)
{
    for (bool PlainText : { false, true }) {
        TOwnedPtr<TFailingStream> Stream(New<TFailingStream>(std::vector<Byte> { 'a', 'b', 'c', 'd' }));
        TRichDocument Doc;
        try {
            LoadRichStream(Stream.get(), Doc, PlainText);
            ADD_FAILURE() << "nothing raised, plain text " << PlainText;
        } catch (const EOutOfResources& E) {
            EXPECT_EQ(U8(E.Message()), "Failed to Load Stream");
        }
    }
}
