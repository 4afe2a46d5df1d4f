// The XML document: a small DOM over pugixml.
//
// A TXmlDocument owns the tree; TXmlNode is a handle into it, valid until
// the document is loaded again, cleared or freed. Texts cross the API as
// String; inside, pugixml holds UTF-8.
//
//     auto Doc = MakeOwned<TXmlDocument>();
//     TXmlNode Root = Doc->CreateRoot(u"objects");
//     Root.AddChild(u"o").SetAttribute(u"name", u"Ini");
//     Doc->SetIndented(true);
//     Doc->SaveToFile(u"/tmp/settings.xml");
//
// Loading refuses a DOCTYPE (no DTD is ever processed), more than one root
// element, repeated attributes and nesting deeper than XmlMaxDepth. Only the
// five predefined entities and character references are expanded; comments
// and processing instructions are dropped. Saving always writes the
// declaration <?xml version="1.0" encoding="UTF-8"?> and only text that an
// XML 1.0 reader accepts back unchanged.
#pragma once
#include "rtl/Object.h"
#include <memory>
#include <string_view>

namespace pugi {
struct xml_node_struct;
class xml_document;
}

class EXmlError : public Exception {
public:
    // Offset: where in the input the fault lies (bytes for byte input,
    // characters for text input); -1 when the fault has no place.
    explicit EXmlError(String Message, Int64 Offset = -1)
        : Exception(std::move(Message))
        , FOffset(Offset)
    { }
    const char16_t* ClassName() const override { return u"EXmlError"; }
    Int64 Offset() const { return FOffset; }

private:
    Int64 FOffset;
};

inline constexpr Integer XmlMaxDepth = 256;

enum class TXmlNodeType { None, Element, Text, CData };

class TXmlNode {
public:
    TXmlNode() = default;
    explicit TXmlNode(pugi::xml_node_struct* Node)
        : FNode(Node)
    { }

    bool IsNull() const { return FNode == nullptr; }
    explicit operator bool() const { return FNode != nullptr; }
    friend bool operator==(TXmlNode A, TXmlNode B) { return A.FNode == B.FNode; }

    TXmlNodeType NodeType() const;
    String NodeName() const; // empty for text and CDATA nodes

    bool HasAttribute(StringView Name) const;
    String GetAttribute(StringView Name) const; // empty when absent
    void SetAttribute(StringView Name, StringView Value);
    bool RemoveAttribute(StringView Name);

    // Child nodes of every type, in document order.
    Integer ChildCount() const;
    TXmlNode Child(Integer Index) const; // raises EListError out of range
    TXmlNode FirstChild() const;
    TXmlNode NextSibling() const;
    TXmlNode Parent() const; // null above the root element
    // The first child element of that name; null when there is none.
    TXmlNode FindChild(StringView Name) const;

    TXmlNode AddChild(StringView Name); // appends an element
    TXmlNode AddCData(StringView Text); // appends a CDATA section
    bool RemoveChild(TXmlNode Child); // false when Child is not a child

    // An element's text is that of its text and CDATA children, joined;
    // setting it replaces all the element's children by one text node.
    String Text() const;
    void SetText(StringView Text);

    pugi::xml_node_struct* Handle() const { return FNode; }

private:
    pugi::xml_node_struct* FNode = nullptr;
    void CheckElement() const;
};

class TXmlDocument : public TObject {
    X_CLASS(TXmlDocument, TObject)
public:
    TXmlDocument();
    ~TXmlDocument() override;

    // Each load replaces the whole document; on failure (EXmlError,
    // EFOpenError) the document keeps what it had.
    void LoadFromFile(const String& FileName);
    void LoadFromBytes(std::string_view Bytes); // UTF-8 with or without BOM, UTF-16/32 with BOM
    void LoadFromText(StringView Text);

    // Raises EXmlError when there is no root element.
    RawBytes SaveToBytes() const;
    // Written to a temporary file beside it and renamed over it.
    void SaveToFile(const String& FileName) const;

    void Clear();
    // Clears the document and gives it a root element.
    TXmlNode CreateRoot(StringView Name);
    TXmlNode DocumentElement() const;

    // Indented: each element on its own line, two spaces per level;
    // elements holding text keep their content on one line.
    bool Indented() const { return FIndented; }
    void SetIndented(bool Value) { FIndented = Value; }

private:
    std::unique_ptr<pugi::xml_document> FDoc;
    bool FIndented = false;
    void Parse(std::string_view Bytes, bool FromText);
};

// At least what loading the document takes in memory: its own copy of the
// bytes (in UTF-8), a node for every markup start and the text beside it,
// an attribute for every "=". Loads of outside data count it before they
// parse, as markup of a few bytes a node makes a tree many times larger.
Int64 XmlParseCost(std::string_view Bytes);
Int64 XmlParseCost(StringView Text);

// True when Name is an XML 1.0 name.
bool IsXmlName(StringView Name);
