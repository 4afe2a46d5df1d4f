#include "richedit/RichStreams.h"
#include "richedit/RtfReader.h"
#include "rtl/CodePages.h"
#include "rtl/Streams.h"

Word DetectTextEncoding(std::string_view Head)
{
    if (Head.starts_with("\xFF\xFE"))
        return CP_UTF16LE;
    if (Head.starts_with("\xFE\xFF"))
        return CP_UTF16BE;
    if (Head.starts_with("\xEF\xBB\xBF"))
        return CP_UTF8;
    return 0;
}

TPlainTextReader::TPlainTextReader(Word CodePage)
    : FDecoder(CodePage ? CodePage : CP_1252)
{
}

void TPlainTextReader::Put(StringView Text, String& Out)
{
    for (Char C : Text) {
        if (!FStarted) {
            FStarted = true;
            if (C == 0xFEFF)
                continue;
        }
        if (C == u'\n' && FAfterCR) {
            FAfterCR = false; // the second half of a CR LF pair
            continue;
        }
        FAfterCR = C == u'\r';
        Out.push_back(C == u'\n' ? ParagraphMark : C);
    }
}

void TPlainTextReader::Feed(std::string_view Bytes, String& Out)
{
    String Text;
    FDecoder.Feed(Bytes, Text);
    Put(Text, Out);
}

void TPlainTextReader::Finish(String& Out)
{
    String Text;
    FDecoder.Finish(Text);
    Put(Text, Out);
}

namespace {

[[noreturn]] void FailedToLoad()
{
    throw EOutOfResources(u"Failed to Load Stream");
}

}

void LoadRichStream(TStream* Stream, TRichDocument& Doc, bool PlainText, Word CodePage, size_t ChunkSize)
{
    ChunkSize = ChunkSize ? ChunkSize : 1;
    // The pieces as the stream gives them; memory grows with what is read,
    // never with what a count claims.
    std::vector<RawBytes> Pieces;
    try {
        for (;;) {
            RawBytes Piece(ChunkSize, '\0');
            const Int64 Got = Stream->Read(Piece.data(), Int64(Piece.size()));
            if (Got <= 0)
                break;
            Piece.resize(size_t(Got));
            Pieces.push_back(std::move(Piece));
        }
    } catch (const EStreamError&) {
        FailedToLoad();
    }
    if (!PlainText) {
        RawBytes All;
        for (const RawBytes& P : Pieces)
            All += P;
        if (ReadRtf(All, Doc) != rrNotRtf)
            return;
    }
    if (!CodePage) {
        RawBytes Head; // a mark may be cut between the first pieces
        for (size_t I = 0; I < Pieces.size() && Head.size() < 3; ++I)
            Head += Pieces[I].substr(0, 3 - Head.size());
        CodePage = DetectTextEncoding(Head);
    }
    TPlainTextReader Reader(CodePage);
    String Text;
    for (const RawBytes& P : Pieces)
        Reader.Feed(P, Text);
    Reader.Finish(Text);
    Doc.Append(Text, Doc.Length() ? Doc.CharFormatAt(Doc.Length()) : Doc.DefaultFormat());
}
