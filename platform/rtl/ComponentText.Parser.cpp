// The tolerant reader of the text form: text to a tree of TTextObject.
#include "rtl/ComponentText.h"
#include "rtl/StrUtils.h"
#include <cmath>

namespace {
enum TTokenKind { tkEnd, tkSymbol, tkIdentTok, tkIntTok, tkFloatTok, tkStringTok };

struct TToken {
    TTokenKind Kind = tkEnd;
    Char Symbol = 0;
    String Text;
    Int64 Int = 0;
    bool Big = false;
    double Float = 0;
    Integer Line = 1;
};

bool IsIdentStart(Char C)
{
    return (C >= u'a' && C <= u'z') || (C >= u'A' && C <= u'Z') || C == u'_' || C >= 0x80;
}
bool IsIdentChar(Char C)
{
    return IsIdentStart(C) || (C >= u'0' && C <= u'9');
}
bool IsDigit(Char C)
{
    return C >= u'0' && C <= u'9';
}
int HexValue(Char C)
{
    if (C >= u'0' && C <= u'9')
        return C - u'0';
    if (C >= u'a' && C <= u'f')
        return C - u'a' + 10;
    if (C >= u'A' && C <= u'F')
        return C - u'A' + 10;
    return -1;
}

class TParser {
public:
    TParser(StringView Text, Integer MaxDepth, Int64 MaxTreeBytes)
        : FText(Text)
        , FMaxDepth(MaxDepth)
        , FTreeLeft(MaxTreeBytes)
    {
        Next();
    }

    TTextObject ParseRoot()
    {
        TTextObject Root = ParseObject(0);
        if (FTok.Kind != tkEnd)
            Error(u"Text after the final end");
        return Root;
    }

private:
    StringView FText;
    size_t FPos = 0;
    Integer FLine = 1;
    Integer FMaxDepth;
    // What the tree may still take; negative: no bound.
    Int64 FTreeLeft;
    TToken FTok;

    // Counts a node of the tree before it is made. Nodes sit in vectors
    // that grow by doubling, so each counts twice its size.
    void Charge(size_t NodeSize, size_t TextUnits = 0)
    {
        if (FTreeLeft < 0)
            return;
        const Int64 Cost = Int64(2 * NodeSize + TextUnits * sizeof(Char));
        if (Cost > FTreeLeft)
            Error(u"The text holds more than a load may hold");
        FTreeLeft -= Cost;
    }

    [[noreturn]] void Error(const String& Message, Integer Line = 0) const
    {
        throw EParserError(Message + u" on line " + IntToStr(Line ? Line : FTok.Line));
    }

    Char Peek(size_t Ahead = 0) const { return FPos + Ahead < FText.size() ? FText[FPos + Ahead] : Char(0); }
    bool AtEnd() const { return FPos >= FText.size(); }

    void SkipBlanks()
    {
        while (!AtEnd() && FText[FPos] <= u' ') {
            // CR LF, LF and CR alone each end a line.
            if (FText[FPos] == u'\n' || (FText[FPos] == u'\r' && Peek(1) != u'\n'))
                ++FLine;
            ++FPos;
        }
    }

    void Next()
    {
        SkipBlanks();
        FTok = TToken();
        FTok.Line = FLine;
        if (AtEnd())
            return;
        Char C = FText[FPos];
        if (IsIdentStart(C)) {
            size_t Start = FPos;
            while (!AtEnd() && IsIdentChar(FText[FPos]))
                ++FPos;
            FTok.Kind = tkIdentTok;
            FTok.Text = String(FText.substr(Start, FPos - Start));
        } else if (C == u'\'' || C == u'#') {
            ReadString();
        } else if (C == u'$') {
            ReadHex();
        } else if (IsDigit(C) ||
            ((C == u'-' || C == u'+') && (IsDigit(Peek(1)) || Peek(1) == u'.' || IsIdentStart(Peek(1))))) {
            ReadNumber();
        } else {
            FTok.Kind = tkSymbol;
            FTok.Symbol = C;
            ++FPos;
        }
    }

    void ReadString()
    {
        String S;
        while (!AtEnd()) {
            Char C = FText[FPos];
            if (C == u'\'') {
                ++FPos;
                while (true) {
                    if (AtEnd() || FText[FPos] == u'\r' || FText[FPos] == u'\n')
                        Error(u"Unterminated string");
                    if (FText[FPos] == u'\'') {
                        if (Peek(1) == u'\'') {
                            S += u'\'';
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    S += FText[FPos++];
                }
            } else if (C == u'#') {
                ++FPos;
                UInt64 Code = 0;
                size_t Digits = 0;
                if (Peek() == u'$') {
                    ++FPos;
                    while (!AtEnd() && HexValue(FText[FPos]) >= 0 && Code <= 0xFFFF) {
                        Code = Code * 16 + UInt64(HexValue(FText[FPos++]));
                        ++Digits;
                    }
                } else {
                    while (!AtEnd() && IsDigit(FText[FPos]) && Code <= 0xFFFF) {
                        Code = Code * 10 + UInt64(FText[FPos++] - u'0');
                        ++Digits;
                    }
                }
                if (Digits == 0 || Code > 0xFFFF)
                    Error(u"Invalid character code");
                S += Char(Code);
            } else {
                break;
            }
        }
        FTok.Kind = tkStringTok;
        FTok.Text = std::move(S);
    }

    void ReadHex()
    {
        ++FPos;
        UInt64 V = 0;
        size_t Digits = 0;
        while (!AtEnd() && HexValue(FText[FPos]) >= 0) {
            if (++Digits > 16)
                Error(u"Number too large");
            V = V * 16 + UInt64(HexValue(FText[FPos++]));
        }
        if (Digits == 0)
            Error(u"Invalid hexadecimal number");
        FTok.Kind = tkIntTok;
        FTok.Int = Int64(V);
        FTok.Big = V > UInt64(INT64_MAX);
    }

    void ReadNumber()
    {
        size_t Start = FPos;
        if (Peek() == u'-' || Peek() == u'+')
            ++FPos;
        if (IsIdentStart(Peek())) {
            // Signed infinity, as the writer spells it.
            size_t IdStart = FPos;
            while (!AtEnd() && IsIdentChar(FText[FPos]))
                ++FPos;
            if (!SameText(FText.substr(IdStart, FPos - IdStart), u"INF"))
                Error(u"Invalid number");
            FTok.Kind = tkFloatTok;
            FTok.Float = FText[Start] == u'-' ? -HUGE_VAL : HUGE_VAL;
            return;
        }
        bool IsFloat = false;
        while (!AtEnd() && IsDigit(FText[FPos]))
            ++FPos;
        if (Peek() == u'.' && IsDigit(Peek(1))) {
            IsFloat = true;
            ++FPos;
            while (!AtEnd() && IsDigit(FText[FPos]))
                ++FPos;
        }
        if (Peek() == u'e' || Peek() == u'E') {
            size_t Exp = FPos + 1;
            if (Exp < FText.size() && (FText[Exp] == u'+' || FText[Exp] == u'-'))
                ++Exp;
            if (Exp < FText.size() && IsDigit(FText[Exp])) {
                IsFloat = true;
                FPos = Exp;
                while (!AtEnd() && IsDigit(FText[FPos]))
                    ++FPos;
            }
        }
        String Number(FText.substr(Start, FPos - Start));
        if (IsFloat) {
            if (!TryTextToFloat(Number, FTok.Float))
                Error(u"Invalid number " + Number);
            FTok.Kind = tkFloatTok;
            return;
        }
        FTok.Kind = tkIntTok;
        bool Negative = Number[0] == u'-';
        UInt64 U = 0;
        for (Char C : Number) {
            if (!IsDigit(C))
                continue;
            if (U > (UINT64_MAX - UInt64(C - u'0')) / 10)
                Error(u"Number too large");
            U = U * 10 + UInt64(C - u'0');
        }
        if (Negative) {
            if (U > UInt64(INT64_MAX) + 1)
                Error(u"Number too large");
            FTok.Int = Int64(0 - U);
        } else {
            FTok.Int = Int64(U);
            FTok.Big = U > UInt64(INT64_MAX);
        }
    }

    bool IsSymbol(Char C) const { return FTok.Kind == tkSymbol && FTok.Symbol == C; }
    bool IsWord(StringView W) const { return FTok.Kind == tkIdentTok && SameText(FTok.Text, W); }

    void Expect(Char C)
    {
        if (!IsSymbol(C))
            Error(FTok.Kind == tkEnd ? String(u"Unexpected end of text") : u"'" + String(1, C) + u"' expected");
        Next();
    }

    String ExpectIdent(const char16_t* What)
    {
        if (FTok.Kind != tkIdentTok)
            Error(FTok.Kind == tkEnd ? String(u"Unexpected end of text") : String(What) + u" expected");
        String S = FTok.Text;
        Next();
        return S;
    }

    // Name(.Name)*, for property names and identifier values.
    String DottedName(const char16_t* What)
    {
        String S = ExpectIdent(What);
        while (IsSymbol(u'.')) {
            Next();
            S += u'.' + ExpectIdent(What);
        }
        return S;
    }

    void CheckDepth(Integer Depth) const
    {
        if (Depth > FMaxDepth)
            Error(u"Nesting too deep");
    }

    bool AtObjectStart() const { return IsWord(u"object") || IsWord(u"inherited") || IsWord(u"inline"); }

    TTextObject ParseObject(Integer Depth)
    {
        CheckDepth(Depth);
        Charge(sizeof(TTextObject));
        TTextObject Obj;
        Obj.Line = FTok.Line;
        if (IsWord(u"inherited"))
            Obj.Kind = okInheritedBlock;
        else if (IsWord(u"inline"))
            Obj.Kind = okInlineBlock;
        else if (!IsWord(u"object"))
            Error(FTok.Kind == tkEnd ? String(u"Unexpected end of text") : String(u"object expected"));
        Next();
        String First = ExpectIdent(u"Class name");
        if (IsSymbol(u':')) {
            Next();
            Obj.Name = std::move(First);
            Obj.ClassName = ExpectIdent(u"Class name");
        } else {
            Obj.ClassName = std::move(First);
        }
        if (IsSymbol(u'[')) { // the position of an inherited child; not needed here
            Next();
            if (FTok.Kind != tkIntTok)
                Error(u"Integer expected");
            Next();
            Expect(u']');
        }
        while (!IsWord(u"end")) {
            if (FTok.Kind == tkEnd)
                Error(u"Unexpected end of text");
            if (AtObjectStart())
                Obj.Children.push_back(ParseObject(Depth + 1));
            else
                Obj.Props.push_back(ParseProp(Depth));
        }
        Next();
        return Obj;
    }

    TTextProp ParseProp(Integer Depth)
    {
        Charge(sizeof(TTextProp) - sizeof(TTextValue));
        TTextProp P;
        P.Line = FTok.Line;
        P.Name = DottedName(u"Property name");
        Expect(u'=');
        P.Value = ParseValue(Depth);
        return P;
    }

    TTextValue ParseValue(Integer Depth)
    {
        Charge(sizeof(TTextValue), FTok.Kind == tkStringTok ? FTok.Text.size() : 0);
        TTextValue V;
        V.Line = FTok.Line;
        switch (FTok.Kind) {
        case tkEnd: Error(u"Unexpected end of text");
        case tkIntTok:
            V.Kind = vkInteger;
            V.Int = FTok.Int;
            V.Big = FTok.Big;
            Next();
            return V;
        case tkFloatTok:
            V.Kind = vkFloat;
            V.Float = FTok.Float;
            Next();
            return V;
        case tkStringTok:
            V.Kind = vkString;
            V.Text = FTok.Text;
            Next();
            while (IsSymbol(u'+')) {
                Next();
                if (FTok.Kind != tkStringTok)
                    Error(u"String expected");
                Charge(0, FTok.Text.size());
                V.Text += FTok.Text;
                Next();
            }
            return V;
        case tkIdentTok:
            V.Kind = vkIdent;
            V.Text = DottedName(u"Identifier");
            return V;
        case tkSymbol: break;
        }
        Char C = FTok.Symbol;
        if (C == u'[') {
            V.Kind = vkSet;
            Next();
            while (!IsSymbol(u']')) {
                Charge(sizeof(String));
                V.Names.push_back(ExpectIdent(u"Set member"));
                if (IsSymbol(u','))
                    Next();
                else if (!IsSymbol(u']'))
                    Error(u"']' expected");
            }
            Next();
            return V;
        }
        if (C == u'(') {
            CheckDepth(Depth + 1);
            V.Kind = vkList;
            Next();
            while (!IsSymbol(u')')) {
                V.List.push_back(ParseValue(Depth + 1));
                if (IsSymbol(u','))
                    Next();
            }
            Next();
            return V;
        }
        if (C == u'<') {
            CheckDepth(Depth + 1);
            V.Kind = vkCollection;
            Next();
            while (!IsSymbol(u'>')) {
                Charge(sizeof(TTextItem));
                TTextItem Item;
                Item.Line = FTok.Line;
                if (!IsWord(u"item"))
                    Error(FTok.Kind == tkEnd ? String(u"Unexpected end of text") : String(u"item expected"));
                Next();
                while (!IsWord(u"end")) {
                    if (FTok.Kind == tkEnd)
                        Error(u"Unexpected end of text");
                    Item.Props.push_back(ParseProp(Depth + 1));
                }
                Next();
                V.Items.push_back(std::move(Item));
            }
            Next();
            return V;
        }
        if (C == u'{') {
            V.Kind = vkBinary;
            ReadBinary(V.Bytes);
            Next();
            return V;
        }
        Error(u"Invalid property value");
    }

    // The current token is "{": hexadecimal digit pairs up to "}", blanks
    // and line breaks between them skipped.
    void ReadBinary(RawBytes& Bytes)
    {
        int High = -1;
        while (true) {
            SkipBlanks();
            if (AtEnd())
                Error(u"Unexpected end of text in binary data", FLine);
            Char C = FText[FPos++];
            if (C == u'}')
                break;
            int H = HexValue(C);
            if (H < 0)
                Error(u"Invalid binary value", FLine);
            if (High < 0) {
                High = H;
            } else {
                Charge(0, 1);
                Bytes += char((High << 4) | H);
                High = -1;
            }
        }
        if (High >= 0)
            Error(u"Odd number of hexadecimal digits in binary data", FLine);
    }
};
}

TTextObject ParseComponentText(StringView Text, Integer MaxDepth, Int64 MaxTreeBytes)
{
    return TParser(Text, MaxDepth, MaxTreeBytes).ParseRoot();
}
