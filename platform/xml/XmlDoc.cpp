#include "xml/XmlDoc.h"
#include "rtl/SafeSave.h"
#include <pugixml.hpp>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

X_REGISTER_CLASS(TXmlDocument)

namespace {

// The parser keeps DOCTYPE nodes only so that Parse can refuse them; it
// never reads a DTD. Whitespace-only text survives when it is an element's
// only content, so "<p> </p>" keeps its blank while indentation is dropped.
constexpr unsigned ParseOptions = pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single;

pugi::xml_node Wrap(pugi::xml_node_struct* Node)
{
    return pugi::xml_node(Node);
}

String Substitute(const char16_t* Pattern, std::initializer_list<String> Args)
{
    String Out = Pattern;
    size_t Pos = 0;
    for (const String& Arg : Args) {
        Pos = Out.find(u"%s", Pos);
        if (Pos == String::npos)
            break;
        Out.replace(Pos, 2, Arg);
        Pos += Arg.size();
    }
    return Out;
}

String ErrnoText(int Code)
{
    return UTF8ToString(std::strerror(Code));
}

// Drops what XML 1.0 cannot hold at all: control characters other than
// tab, LF and CR, lone surrogates, U+FFFE and U+FFFF.
String CleanText(StringView Text)
{
    String Out;
    Out.reserve(Text.size());
    for (size_t I = 0; I < Text.size(); ++I) {
        Char C = Text[I];
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Text.size() && Text[I + 1] >= 0xDC00 && Text[I + 1] <= 0xDFFF) {
            Out.push_back(C);
            Out.push_back(Text[++I]);
            continue;
        }
        bool Bad = (C < 0x20 && C != 0x09 && C != 0x0A && C != 0x0D) || (C >= 0xD800 && C <= 0xDFFF) || C == 0xFFFE ||
            C == 0xFFFF;
        if (!Bad)
            Out.push_back(C);
    }
    return Out;
}

UTF8String ToXmlUtf8(StringView Text)
{
    return StringToUTF8(CleanText(Text));
}

UTF8String CheckedName(StringView Name)
{
    if (!IsXmlName(Name))
        throw EXmlError(u"\"" + String(Name) + u"\" is not a valid XML name");
    return StringToUTF8(Name);
}

bool IsNameStart(char32_t C)
{
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_' || C == ':' || (C >= 0xC0 && C <= 0xD6) ||
        (C >= 0xD8 && C <= 0xF6) || (C >= 0xF8 && C <= 0x2FF) || (C >= 0x370 && C <= 0x37D) ||
        (C >= 0x37F && C <= 0x1FFF) || (C >= 0x200C && C <= 0x200D) || (C >= 0x2070 && C <= 0x218F) ||
        (C >= 0x2C00 && C <= 0x2FEF) || (C >= 0x3001 && C <= 0xD7FF) || (C >= 0xF900 && C <= 0xFDCF) ||
        (C >= 0xFDF0 && C <= 0xFFFD) || (C >= 0x10000 && C <= 0xEFFFF);
}

bool IsNameChar(char32_t C)
{
    return IsNameStart(C) || C == '-' || C == '.' || (C >= '0' && C <= '9') || C == 0xB7 ||
        (C >= 0x300 && C <= 0x36F) || (C >= 0x203F && C <= 0x2040);
}

// --- writer ---------------------------------------------------------------

// Stored texts may come from a loaded document, so they are cleaned again
// on the way out; CR and the attribute whitespace become references so
// that a reader's line-end and attribute normalisation keep them.
void AppendEscaped(std::string& Out, const char* Raw, bool InAttribute)
{
    for (char C : ToXmlUtf8(UTF8ToString(Raw))) {
        switch (C) {
        case '&': Out += "&amp;"; break;
        case '<': Out += "&lt;"; break;
        case '>': Out += "&gt;"; break;
        case '\r': Out += "&#13;"; break;
        case '"': Out += InAttribute ? "&quot;" : "\""; break;
        case '\n': Out += InAttribute ? "&#10;" : "\n"; break;
        case '\t': Out += InAttribute ? "&#9;" : "\t"; break;
        default: Out += C;
        }
    }
}

// A CDATA section can hold neither "]]>" nor a CR that survives reading:
// both are written between sections.
void AppendCData(std::string& Out, const char* Raw)
{
    UTF8String Text = ToXmlUtf8(UTF8ToString(Raw));
    Out += "<![CDATA[";
    for (size_t I = 0; I < Text.size(); ++I) {
        if (Text[I] == '\r')
            Out += "]]>&#13;<![CDATA[";
        else if (Text.compare(I, 3, "]]>") == 0) {
            Out += "]]]]><![CDATA[>";
            I += 2;
        } else
            Out += Text[I];
    }
    Out += "]]>";
}

void AppendName(std::string& Out, const char* Raw)
{
    Out += StringToUTF8(UTF8ToString(Raw));
}

bool HoldsText(pugi::xml_node Node)
{
    for (pugi::xml_node C = Node.first_child(); C; C = C.next_sibling())
        if (C.type() == pugi::node_pcdata || C.type() == pugi::node_cdata)
            return true;
    return false;
}

// Iterative, so that no nesting depth can exhaust the stack.
void WriteTree(std::string& Out, pugi::xml_node Root, bool Indented)
{
    Integer Depth = 0;
    Integer InlineFrom = -1; // the element whose content stays on one line
    auto Pretty = [&] { return Indented && InlineFrom < 0; };
    auto Close = [&](pugi::xml_node Node) {
        bool Own = InlineFrom == Depth;
        if (Pretty())
            Out.append(size_t(2 * Depth), ' ');
        Out += "</";
        AppendName(Out, Node.name());
        Out += '>';
        if (Own) {
            InlineFrom = -1;
            if (Indented)
                Out += '\n';
        } else if (Pretty())
            Out += '\n';
    };

    pugi::xml_node Node = Root;
    for (;;) {
        bool Descend = false;
        switch (Node.type()) {
        case pugi::node_element:
            if (Pretty())
                Out.append(size_t(2 * Depth), ' ');
            Out += '<';
            AppendName(Out, Node.name());
            for (pugi::xml_attribute A = Node.first_attribute(); A; A = A.next_attribute()) {
                Out += ' ';
                AppendName(Out, A.name());
                Out += "=\"";
                AppendEscaped(Out, A.value(), true);
                Out += '"';
            }
            if (!Node.first_child()) {
                Out += "/>";
                if (Pretty())
                    Out += '\n';
            } else {
                Out += '>';
                if (Pretty()) {
                    if (HoldsText(Node))
                        InlineFrom = Depth;
                    else
                        Out += '\n';
                }
                Descend = true;
            }
            break;
        case pugi::node_pcdata: AppendEscaped(Out, Node.value(), false); break;
        case pugi::node_cdata: AppendCData(Out, Node.value()); break;
        default: break;
        }
        if (Descend) {
            Node = Node.first_child();
            ++Depth;
            continue;
        }
        for (;;) {
            if (Depth == 0)
                return;
            if (pugi::xml_node Next = Node.next_sibling()) {
                Node = Next;
                break;
            }
            Node = Node.parent();
            --Depth;
            Close(Node);
        }
    }
}

// --- reader checks ----------------------------------------------------------

bool HasRepeatedAttribute(pugi::xml_node Node, const char** Name)
{
    size_t Count = 0;
    for (pugi::xml_attribute A = Node.first_attribute(); A; A = A.next_attribute())
        ++Count;
    if (Count < 2)
        return false;
    if (Count <= 16) {
        for (pugi::xml_attribute A = Node.first_attribute(); A; A = A.next_attribute())
            for (pugi::xml_attribute B = A.next_attribute(); B; B = B.next_attribute())
                if (std::strcmp(A.name(), B.name()) == 0) {
                    *Name = A.name();
                    return true;
                }
        return false;
    }
    std::unordered_set<std::string_view> Seen;
    for (pugi::xml_attribute A = Node.first_attribute(); A; A = A.next_attribute())
        if (!Seen.insert(A.name()).second) {
            *Name = A.name();
            return true;
        }
    return false;
}

}

bool IsXmlName(StringView Name)
{
    if (Name.empty())
        return false;
    for (size_t I = 0; I < Name.size(); ++I) {
        char32_t C = Name[I];
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Name.size() && Name[I + 1] >= 0xDC00 && Name[I + 1] <= 0xDFFF)
            C = 0x10000 + ((C - 0xD800) << 10) + (Name[++I] - 0xDC00);
        else if (C >= 0xD800 && C <= 0xDFFF)
            return false;
        if (!(I == 0 ? IsNameStart(C) : IsNameChar(C)))
            return false;
    }
    return true;
}

// --- TXmlNode -----------------------------------------------------------------

TXmlNodeType TXmlNode::NodeType() const
{
    switch (Wrap(FNode).type()) {
    case pugi::node_element: return TXmlNodeType::Element;
    case pugi::node_pcdata: return TXmlNodeType::Text;
    case pugi::node_cdata: return TXmlNodeType::CData;
    default: return TXmlNodeType::None;
    }
}

void TXmlNode::CheckElement() const
{
    if (NodeType() != TXmlNodeType::Element)
        throw EInvalidOperation(u"The XML node is not an element");
}

String TXmlNode::NodeName() const
{
    return UTF8ToString(Wrap(FNode).name());
}

bool TXmlNode::HasAttribute(StringView Name) const
{
    return bool(Wrap(FNode).attribute(StringToUTF8(Name).c_str()));
}

String TXmlNode::GetAttribute(StringView Name) const
{
    return UTF8ToString(Wrap(FNode).attribute(StringToUTF8(Name).c_str()).value());
}

void TXmlNode::SetAttribute(StringView Name, StringView Value)
{
    CheckElement();
    UTF8String Key = CheckedName(Name);
    pugi::xml_node Node = Wrap(FNode);
    pugi::xml_attribute A = Node.attribute(Key.c_str());
    if (!A)
        A = Node.append_attribute(Key.c_str());
    A.set_value(ToXmlUtf8(Value).c_str());
}

bool TXmlNode::RemoveAttribute(StringView Name)
{
    return Wrap(FNode).remove_attribute(StringToUTF8(Name).c_str());
}

Integer TXmlNode::ChildCount() const
{
    Integer Count = 0;
    for (pugi::xml_node C = Wrap(FNode).first_child(); C; C = C.next_sibling())
        ++Count;
    return Count;
}

TXmlNode TXmlNode::Child(Integer Index) const
{
    if (Index >= 0) {
        Integer I = 0;
        for (pugi::xml_node C = Wrap(FNode).first_child(); C; C = C.next_sibling(), ++I)
            if (I == Index)
                return TXmlNode(C.internal_object());
    }
    String Message = RtlText::ListIndexError;
    Message.replace(Message.find(u"%d"), 2, UTF8ToString(std::to_string(Index)));
    throw EListError(Message);
}

TXmlNode TXmlNode::FirstChild() const
{
    return TXmlNode(Wrap(FNode).first_child().internal_object());
}
TXmlNode TXmlNode::NextSibling() const
{
    return TXmlNode(Wrap(FNode).next_sibling().internal_object());
}

TXmlNode TXmlNode::Parent() const
{
    pugi::xml_node P = Wrap(FNode).parent();
    return P.type() == pugi::node_element ? TXmlNode(P.internal_object()) : TXmlNode();
}

TXmlNode TXmlNode::FindChild(StringView Name) const
{
    return TXmlNode(Wrap(FNode).child(StringToUTF8(Name).c_str()).internal_object());
}

TXmlNode TXmlNode::AddChild(StringView Name)
{
    CheckElement();
    UTF8String Key = CheckedName(Name);
    return TXmlNode(Wrap(FNode).append_child(Key.c_str()).internal_object());
}

TXmlNode TXmlNode::AddCData(StringView Text)
{
    CheckElement();
    pugi::xml_node C = Wrap(FNode).append_child(pugi::node_cdata);
    C.set_value(ToXmlUtf8(Text).c_str());
    return TXmlNode(C.internal_object());
}

bool TXmlNode::RemoveChild(TXmlNode Child)
{
    if (!FNode || !Child.FNode)
        return false;
    return Wrap(FNode).remove_child(Wrap(Child.FNode));
}

String TXmlNode::Text() const
{
    pugi::xml_node Node = Wrap(FNode);
    if (Node.type() != pugi::node_element)
        return UTF8ToString(Node.value());
    UTF8String Out;
    for (pugi::xml_node C = Node.first_child(); C; C = C.next_sibling())
        if (C.type() == pugi::node_pcdata || C.type() == pugi::node_cdata)
            Out += C.value();
    return UTF8ToString(Out);
}

void TXmlNode::SetText(StringView Text)
{
    pugi::xml_node Node = Wrap(FNode);
    switch (NodeType()) {
    case TXmlNodeType::Text:
    case TXmlNodeType::CData: Node.set_value(ToXmlUtf8(Text).c_str()); return;
    case TXmlNodeType::Element:
        while (pugi::xml_node C = Node.first_child())
            Node.remove_child(C);
        if (UTF8String Value = ToXmlUtf8(Text); !Value.empty())
            Node.append_child(pugi::node_pcdata).set_value(Value.c_str());
        return;
    default: throw EInvalidOperation(u"The XML node holds no text");
    }
}

// --- parse cost -----------------------------------------------------------------

namespace {

// pugixml's node and attribute records: eight and five pointers.
constexpr Int64 XmlNodeSize = 8 * Int64(sizeof(void*));
constexpr Int64 XmlAttributeSize = 5 * Int64(sizeof(void*));

template<class C>
Int64 MarkupCost(std::basic_string_view<C> Text, Int64 Utf8Bytes)
{
    Int64 Starts = 0, Equals = 0;
    for (C Ch : Text) {
        Starts += Ch == C('<');
        Equals += Ch == C('=');
    }
    // UTF-16 data is converted: the copy may take twice its bytes.
    return 2 * Utf8Bytes + (2 * Starts + 1) * XmlNodeSize + Equals * XmlAttributeSize;
}

}

Int64 XmlParseCost(std::string_view Bytes)
{
    return MarkupCost(Bytes, Int64(Bytes.size()));
}

Int64 XmlParseCost(StringView Text)
{
    return MarkupCost(Text, 3 * Int64(Text.size()));
}

// --- TXmlDocument ---------------------------------------------------------------

TXmlDocument::TXmlDocument()
    : FDoc(std::make_unique<pugi::xml_document>())
{ }

TXmlDocument::~TXmlDocument() = default;

void TXmlDocument::Parse(std::string_view Bytes, bool FromText)
{
    auto Doc = std::make_unique<pugi::xml_document>();
    auto Fail = [&](String What, std::ptrdiff_t Offset) {
        Int64 Where = Offset;
        if (FromText && Offset >= 0) // bytes of the UTF-8 copy back to characters
            Where = Int64(UTF8ToString(Bytes.substr(0, std::min(size_t(Offset), Bytes.size()))).size());
        throw EXmlError(u"XML error at offset " + UTF8ToString(std::to_string(Where)) + u": " + What, Where);
    };

    pugi::xml_parse_result Result = Doc->load_buffer(Bytes.data(), Bytes.size(), ParseOptions,
        FromText ? pugi::encoding_utf8 : pugi::encoding_auto);
    if (!Result)
        Fail(UTF8ToString(Result.description()), Result.offset);

    Integer Roots = 0;
    for (pugi::xml_node N = Doc->first_child(); N; N = N.next_sibling()) {
        if (N.type() == pugi::node_doctype)
            Fail(u"document type declarations are not accepted", N.offset_debug());
        if (N.type() == pugi::node_element && ++Roots > 1)
            Fail(u"more than one root element", N.offset_debug());
    }

    pugi::xml_node Node = Doc->document_element();
    Integer Depth = 1;
    for (;;) {
        if (Node.type() == pugi::node_element) {
            if (Depth > XmlMaxDepth)
                Fail(u"elements nested deeper than " + UTF8ToString(std::to_string(XmlMaxDepth)) + u" levels",
                    Node.offset_debug());
            const char* Name = nullptr;
            if (HasRepeatedAttribute(Node, &Name))
                Fail(u"attribute \"" + UTF8ToString(Name) + u"\" repeated", Node.offset_debug());
        }
        if (pugi::xml_node C = Node.first_child()) {
            Node = C;
            ++Depth;
            continue;
        }
        while (Depth > 1 && !Node.next_sibling()) {
            Node = Node.parent();
            --Depth;
        }
        if (Depth == 1)
            break;
        Node = Node.next_sibling();
    }
    FDoc = std::move(Doc);
}

void TXmlDocument::LoadFromBytes(std::string_view Bytes)
{
    Parse(Bytes, false);
}

void TXmlDocument::LoadFromText(StringView Text)
{
    Parse(StringToUTF8(Text), true);
}

void TXmlDocument::LoadFromFile(const String& FileName)
{
    UTF8String Path = StringToUTF8(FileName);
    auto Fail = [&](int Code) { throw EFOpenError(Substitute(RtlText::FOpenError, { FileName, ErrnoText(Code) })); };
    int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0)
        Fail(errno);
    RawBytes Data;
    struct stat Info { };
    int Code = 0;
    if (::fstat(Fd, &Info) != 0)
        Code = errno;
    else if (S_ISDIR(Info.st_mode))
        Code = EISDIR;
    else {
        char Buffer[65536];
        for (;;) {
            ssize_t N = ::read(Fd, Buffer, sizeof Buffer);
            if (N < 0 && errno == EINTR)
                continue;
            if (N < 0) {
                Code = errno;
                break;
            }
            if (N == 0)
                break;
            Data.append(Buffer, size_t(N));
        }
    }
    ::close(Fd);
    if (Code)
        Fail(Code);
    LoadFromBytes(Data);
}

RawBytes TXmlDocument::SaveToBytes() const
{
    pugi::xml_node Root = FDoc->document_element();
    if (!Root)
        throw EXmlError(u"The XML document has no root element");
    RawBytes Out = R"(<?xml version="1.0" encoding="UTF-8"?>)";
    if (FIndented)
        Out += '\n';
    WriteTree(Out, Root, FIndented);
    return Out;
}

void TXmlDocument::SaveToFile(const String& FileName) const
{
    SaveBytesToFileSafely(FileName, SaveToBytes());
}

void TXmlDocument::Clear()
{
    FDoc->reset();
}

TXmlNode TXmlDocument::CreateRoot(StringView Name)
{
    UTF8String Key = CheckedName(Name);
    FDoc->reset();
    return TXmlNode(FDoc->append_child(Key.c_str()).internal_object());
}

TXmlNode TXmlDocument::DocumentElement() const
{
    return TXmlNode(FDoc->document_element().internal_object());
}
