// The framework's XML form of persistent objects:
//
//     <?xml version="1.0" encoding="UTF-8"?>
//     <objects>
//       <o name="Ini">
//         <p name="Width">640</p>
//         <o name="Font"><p name="Name">Sans</p></o>
//         <i name="First">...</i>          (collection items)
//         <i type="TXServer">...</i>       (object list entries)
//         <p name="Data">0A1B...</p>       (binary defined properties)
//       </o>
//     </objects>
//
// Published properties go by name; binary defined properties as upper-case
// hexadecimal, 32 bytes a line. Non-binary defined properties are not
// stored in this form. Reading skips what it cannot use property by
// property; an object-list entry is made only of a class that descends
// from the list's item class (TPersistent when the list names none).
#pragma once
#include "core/XCore.ComponentText.h"
#include "xml/XmlDoc.h"

// The filers an object's DefineProperties sees while it is read from or
// written to the XML element they carry.
class TXMLReader : public TReader {
    X_CLASS(TXMLReader, TReader)
public:
    void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override { }
    // Hands the decoded bytes of the first child element of that name
    // (without regard to case) to ReadData; nothing when there is none.
    // Text that is not pairs of hexadecimal digits raises EReadError.
    void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

    TXmlNode Element;
};

class TXMLWriter : public TWriter {
    X_CLASS(TXMLWriter, TWriter)
public:
    void DefineProperty(const String& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override { }
    // A "p" element with the bytes WriteData produces, when HasData.
    void DefineBinaryProperty(const String& Name, TStreamProc ReadData, TStreamProc WriteData, bool HasData) override;

    TXmlNode Element;
};

// Upper-case hexadecimal digits, 64 a line, lines joined by CR LF.
String BytesToHexLines(std::string_view Bytes);
// The reverse; blanks, backspace, CR and LF between pairs are passed over,
// lower-case digits accepted. Raises EReadError for anything else and for
// an odd number of digits.
RawBytes HexLinesToBytes(StringView Text);

// Fills Element with Object's properties, items and binary data.
void WriteObjectToXML(TObject* Object, TXmlNode Element);
// Reads Element into Object; false when a failure escaped the property
// loop (an unexpected class, damaged binary data, a failing item).
bool ReadObjectFromXML(TObject* Object, TXmlNode Element);

// The whole document into Stream at its position (raises on failure).
void SaveObjectToXMLStream(TObject* Object, TStream* Stream, bool Indented);
String ObjectToXMLText(TObject* Object, bool Indented);
// An empty stream reads nothing and answers true. Otherwise the stream is
// parsed from its beginning and its first "o" under "objects" read into
// Object; false (never an exception) when the stream is not such a
// document or reading fails.
bool LoadObjectFromXMLStream(TObject* Object, TStream* Stream);
bool LoadObjectFromXMLText(TObject* Object, StringView Text);

// Object filers: read and write one object in one stream form. The base
// does nothing and answers true.
class TXCustomObjectFiler : public TObject {
    X_CLASS(TXCustomObjectFiler, TObject)
public:
    virtual bool ReadObject(TObject* Object, TStream* Stream) { return true; }
    virtual bool WriteObject(TObject* Object, TStream* Stream) { return true; }
};

// Reads the XML form; writes it without indentation.
class xCompactXMLObjectFiler : public TXCustomObjectFiler {
    X_CLASS(xCompactXMLObjectFiler, TXCustomObjectFiler)
public:
    bool ReadObject(TObject* Object, TStream* Stream) override;
    // False when writing fails.
    bool WriteObject(TObject* Object, TStream* Stream) override;
};

// Writes the XML form indented.
class xXMLObjectFiler : public xCompactXMLObjectFiler {
    X_CLASS(xXMLObjectFiler, xCompactXMLObjectFiler)
public:
    bool WriteObject(TObject* Object, TStream* Stream) override;
};
