#include "rtl/testing/FuzzTarget.h"
#include "xml/XmlDoc.h"

namespace {

// Every node's name, attributes and text, depth first (the loader caps the depth).
void Walk(TXmlNode Node)
{
    Node.NodeName();
    if (Node.NodeType() == TXmlNodeType::Element) {
        Node.GetAttribute(u"name");
        Node.Text();
    }
    for (TXmlNode Child = Node.FirstChild(); Child; Child = Child.NextSibling())
        Walk(Child);
}

} // namespace

// A document that loads is walked and saved; what we save must load again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TOwnedPtr<TXmlDocument> Doc(MakeOwned<TXmlDocument>());
    try {
        Doc->LoadFromBytes(std::string_view(reinterpret_cast<const char*>(Data), Size));
    } catch (const EXmlError&) {
        return 0;
    }
    if (!Doc->DocumentElement())
        return 0;
    Walk(Doc->DocumentElement());
    // Uncaught, a failure here ends the run.
    TOwnedPtr<TXmlDocument> Again(MakeOwned<TXmlDocument>());
    Again->LoadFromBytes(Doc->SaveToBytes());
    return 0;
}

void FuzzSeeds(TFuzzSeeds& Seeds)
{
    TOwnedPtr<TXmlDocument> Doc(MakeOwned<TXmlDocument>());
    TXmlNode Root = Doc->CreateRoot(u"objects");
    TXmlNode O = Root.AddChild(u"o");
    O.SetAttribute(u"name", u"Ini & <more>");
    O.AddChild(u"p").SetText(u"Text with\r\nlines, \u00e9 and \u4e2d");
    O.AddCData(u"raw ]] data");
    Seeds.Add("objects.xml", Doc->SaveToBytes());
    Seeds.Add("bom.xml", "\xEF\xBB\xBF" + Doc->SaveToBytes());
    Seeds.Add("utf16.xml", RawBytes("\xFF\xFE<\0a\0/\0>\0", 10));
}
