// The class library's text form of components, and the filers that let an
// object store data that is not a published property (DefineProperties).
//
//     object Form1: TForm1
//       Caption = 'Title'
//       Font.Name = 'Sans'
//       Lines.Strings = (
//         'a'
//         'b')
//       object Button1: TButton
//         OnClick = Button1Click
//       end
//     end
//
// WriteComponentToText writes that layout to the character (CRLF line ends,
// two blanks of indent a level); ReadComponentFromText reads it tolerantly
// into an existing root. Reading goes in two steps: the text is parsed into
// a tree (syntax errors raise EParserError), then the tree is applied to
// the objects (EReadError); both name the line.
#pragma once
#include "rtl/Component.h"
#include "rtl/Streams.h"
#include "rtl/TypInfo.h"
#include <functional>

X_EXCEPTION(EParserError, Exception)

// One value of the text form.
struct TTextValue;
struct TTextProp;
struct TTextItem {
    std::vector<TTextProp> Props;
    Integer Line = 0;
};
enum TTextValueKind { vkInteger, vkFloat, vkString, vkIdent, vkSet, vkList, vkBinary, vkCollection };
struct TTextValue {
    TTextValueKind Kind = vkInteger;
    Int64 Int = 0; // vkInteger; above Int64's range as the UInt64 bit pattern, Big set
    bool Big = false;
    double Float = 0; // vkFloat
    String Text; // vkString, vkIdent (dotted names kept whole)
    std::vector<String> Names; // vkSet
    std::vector<TTextValue> List; // vkList
    RawBytes Bytes; // vkBinary
    std::vector<TTextItem> Items; // vkCollection
    Integer Line = 0;
};
struct TTextProp {
    String Name; // may be dotted: Font.Name
    TTextValue Value;
    Integer Line = 0;
};
enum TTextObjectKind { okObjectBlock, okInheritedBlock, okInlineBlock };
struct TTextObject {
    TTextObjectKind Kind = okObjectBlock;
    String Name;
    String ClassName;
    std::vector<TTextProp> Props;
    std::vector<TTextObject> Children;
    Integer Line = 0;
};

// Parses one "object ... end" block; MaxDepth bounds the nesting of
// objects, lists and collections together. MaxTreeBytes (when not
// negative) bounds the memory of the tree: a text that would need more
// raises EParserError before it is built.
TTextObject ParseComponentText(StringView Text, Integer MaxDepth = 32, Int64 MaxTreeBytes = -1);
// The text of one value as the writer lays it out; Level is the indent of
// the property line it belongs to.
String FormatTextValue(const TTextValue& Value, Integer Level);

class TReader;
class TWriter;
using TReaderProc = std::function<void(TReader* Reader)>;
using TWriterProc = std::function<void(TWriter* Writer)>;
using TStreamProc = std::function<void(TStream* Stream)>;

// What DefineProperties receives: the filer asks each defined property in
// turn; the reader calls the read procedure of the one it is reading, the
// writer calls the write procedure of those that have data.
class TFiler : public TObject {
    X_CLASS(TFiler, TObject)
public:
    virtual void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) = 0;
    virtual void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData,
        bool HasData) = 0;
};

// Reads one defined property's value; the Read... calls take the value (or,
// inside a list, its next item) and raise EReadError when it is of another
// kind or missing.
class TReader : public TFiler {
    X_CLASS(TReader, TFiler)
public:
    void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
    void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

    Integer ReadInteger();
    Int64 ReadInt64();
    double ReadFloat();
    String ReadString();
    bool ReadBoolean();
    Char ReadChar();
    String ReadIdent();
    void ReadListBegin();
    bool EndOfList() const;
    void ReadListEnd();

    // Offers the value to the defined property Name; true when one took it.
    bool ReadDefined(TPersistent* Instance, const String& Name, const TTextValue& Value);

private:
    const TTextValue& Next();
    String FName;
    const TTextValue* FValue = nullptr;
    std::vector<std::pair<const TTextValue*, size_t>> FLists;
    bool FTaken = false;
    bool FUsed = false;
};

// Collects the values a defined property writes.
class TWriter : public TFiler {
    X_CLASS(TWriter, TFiler)
public:
    void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
    void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

    void WriteInteger(Int64 Value);
    void WriteFloat(double Value);
    void WriteString(const String& Value);
    void WriteBoolean(bool Value);
    void WriteChar(Char Value);
    void WriteIdent(const String& Value);
    void WriteListBegin();
    void WriteListEnd();

    // The defined properties of Instance that have data, in definition order.
    std::vector<TTextProp> CollectDefined(TPersistent* Instance);

private:
    void Put(TTextValue Value);
    std::vector<TTextProp> FProps;
    std::vector<TTextValue> FStack; // open lists, the innermost last
    TTextValue FResult;
    bool FHasResult = false;
};

struct TComponentReadOptions {
    // Skip unknown properties, bad values and unknown classes instead of
    // failing (syntax errors, unexpected classes and a want of memory,
    // EOutOfMemory or std::bad_alloc, still fail).
    bool IgnoreErrors = false;
    // Event properties stay unassigned unless this is set; their method
    // names are then looked up in MethodRoot (the root when null).
    bool BindEvents = false;
    TObject* MethodRoot = nullptr;
    // Nested objects must be of this class or a descendant (TComponent when
    // null); another class named by the text fails the read.
    TClass ChildBase = nullptr;
    Integer MaxDepth = 32;
    // The most memory the parsed tree may take; negative: no bound.
    Int64 MaxTreeBytes = -1;
};

// Writes Root, its published and defined properties and its owned
// components (nested) in the text form.
String WriteComponentToText(TComponent* Root);
// Reads the text form into Root (its name is left as it is): properties are
// set through their setters, nested objects found by name among the owner's
// components or created by class name. Every read component is csLoading and
// csReading meanwhile and gets Loaded at the end. On failure the components
// this read created are freed and the others leave the loading state.
void ReadComponentFromText(StringView Text, TComponent* Root, const TComponentReadOptions& Options = {});
