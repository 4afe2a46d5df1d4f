// Components and other persistent objects as text: the class library's text
// form ("object ... end") or the framework's XML form (root "objects").
// Every reader takes both; stream readers also take either form
// compressed with zlib.
//
//     if (!SaveObjectToStream(Colors, Stream, true, false))
//         ... GetXErrorCode() is xecWriteFailed ...
//     TObject* Loaded = LoadObjectFromStream(Stream, false);   // caller owns it
//
// Objects are made from class names found in the data only when the class
// descends from the one expected at that place, and event properties read
// from data stay unassigned.
#pragma once
#include "rtl/ComponentText.h"
#include "core/XClasses.h"
#include "core/XCore.ZLib.h"

class TXProgress;

// The XML unit installs these at its initialisation; the text layer goes
// through them for everything that is not the text form.
struct TXObjectXMLHooks {
    // Compact XML text of a component.
    String (*ComponentToXMLText)(TComponent* Component) = nullptr;
    // False when the text cannot be read as the XML form.
    bool (*XMLTextToComponent)(StringView Text, TComponent* Component) = nullptr;
    // Compact XML into the stream at its position.
    void (*ComponentToXMLStream)(TComponent* Component, TStream* Stream) = nullptr;
    // Reads from the stream's beginning; false when it is not the XML form.
    bool (*XMLStreamToComponent)(TStream* Stream, TComponent* Component) = nullptr;
};
extern TXObjectXMLHooks XMLObjectHooks;

// The text form of a component (CRLF line ends, two blanks a level).
String ComponentToText(TComponent* Component);
// Reads the text form into Root, keeping Root's name. Unknown properties
// and bad values are skipped; syntax errors raise EParserError, classes
// that do not belong where the text puts them EReadError.
void TextToComponent(StringView Text, TComponent* Root);
// The text form when the text starts with a word (object, inherited,
// inline), else the XML form; a byte-order mark and leading blanks are
// passed over. Raises when the text cannot be read.
void LoadComponentFromText(StringView Text, TComponent* Root);
// From the stream's beginning; an empty stream leaves Root unchanged.
// Answers Root; raises when the stream cannot be read.
TComponent* LoadComponentFromStream(TStream* Stream, TComponent* Root);

// The whole stream, from its beginning, as text: the text form and XML
// (with or without a UTF-8 byte-order mark) as they are, anything else
// inflated as zlib data first. Bytes are read as UTF-8; a broken sequence
// becomes U+FFFD. Raises when the data cannot
// be inflated or does not fit the load's budget (TXLoadBudget). Every
// load here is one load: what it reads and inflates shares one budget.
String ReadStreamText(TStream* Stream);
// The whole Source, from its beginning, into Dest at its position:
// compressed with zlib (level byte 2) or copied unchanged. A failure
// records xecWriteFailed and answers false.
bool CopyCompressed(TStream* Source, TStream* Dest, bool Compressed);

// A carrier that lets any persistent object travel through the component
// text and XML forms together with its class name. It never frees the
// object it carries.
class TXObjectComponent : public TComponent {
    X_CLASS(TXObjectComponent, TComponent)
public:
    const String& ObjClassName() const { return FObjClassName; }
    // Ignored while Loading. Another text forgets the carried object and
    // looks the class up (EClassNotFound for an unknown name).
    void SetObjClassName(const String& Value);
    TClass ObjClass() const { return FObjClass; }
    void SetObjClass(TClass Value);
    TObject* Obj() const { return FObj; }
    // Takes the class and its name from the object (both empty for null).
    void SetObj(TObject* Value);

    // In ItemMode answers true at once (the object was supplied). Otherwise
    // makes Obj a new instance of Class when Class descends from
    // ExpectedClass (TPersistent when null); false for any other class and
    // when construction fails.
    virtual bool CreateObj(TClass Class);

    // The text form, or (AsText false) the compact XML text; empty with
    // xecWriteFailed recorded on failure.
    String ToText(bool AsText);
    bool ToStream(TStream* Stream, bool AsText);
    // Empties Stream first; xecWriteFailed on failure.
    bool SaveToStream(TStream* Stream, bool AsText, bool Raise);
    // Finds the class named in the text, makes the object and reads the
    // text into it; xecReadFailed on failure, when the object made here is freed
    // again.
    bool LoadFromText(StringView Text, bool Raise);
    // Clears the error record first; compressed streams are inflated.
    bool LoadFromStream(TStream* Stream, bool Raise);
    // Class (unless ItemMode) instead of a class named in the data.
    bool LoadWithClass(TStream* Stream, TClass Class, bool Raise);

    bool Loading = false;
    bool ItemMode = false;
    // What a class named by the data must descend from; null: TPersistent.
    TClass ExpectedClass = nullptr;

private:
    String FObjClassName;
    TClass FObjClass = nullptr;
    TObject* FObj = nullptr;
};

// Adds an item to Collection and reads it from Stream; on failure the
// item is deleted again (xecReadFailed).
bool LoadCollectionItem(TCollection* Collection, TStream* Stream, bool Raise);
// The object stored in Stream (the caller owns it); null and xecReadFailed on failure.
TObject* LoadObjectFromStream(TStream* Stream, bool Raise);
// Loads an object of Target's class (or a descendant), assigns it to
// Target and frees it; true only then (xecReadFailed otherwise).
bool LoadAssignFromStream(TPersistent* Target, TStream* Stream, bool Raise);
// xecWriteFailed on failure.
bool SaveObjectToStream(TObject* Object, TStream* Stream, bool AsText, bool Raise);
// The text twins; both finish Progress (when given) whatever happens.
bool LoadObjectFromText(TPersistent* Target, StringView Text, TXProgress* Progress, bool Raise);
bool SaveObjectToText(TObject* Object, String& Text, bool AsText, bool Raise, TXProgress* Progress);

// An item that holds an object of any persistent class with its class
// name. An object the item makes itself (from a class name, as readers
// do) is the item's: it is freed with the item or when the item makes or
// is given another, unless ReleaseObj or the collection's MoveObjectsTo
// hands it out first. An object given with SetObj stays its giver's.
class TXObjectItem : public TXYCollectionItem {
    X_CLASS(TXObjectItem, TXYCollectionItem)
public:
    const String& ObjClassName() const { return FObjClassName; }
    // Another text drops the object and makes one of the named class
    // (EClassNotFound for an unknown name, EReadError for a class that is
    // not persistent).
    void SetObjClassName(const String& Value);
    TPersistent* Obj() const { return FObj; }
    void SetObj(TPersistent* Value);
    // The object, which the caller owns from then on; the item is empty.
    TPersistent* ReleaseObj();

    // Makes Obj a new instance of Class, owned by the item; false when
    // Class is not persistent or construction fails.
    virtual bool CreateObj(TClass Class);

private:
    // Frees the object when it is the item's, and forgets it.
    void DropObj();

    String FObjClassName;
    // The object, the item's own or its giver's.
    TPersistent* FObj = nullptr;
    // FObj when the item made it.
    TOwnedPtr<TPersistent> FOwnedObj;
};

// Objects of mixed classes, stored with their class names.
class TXObjectCollection : public TXTypedCollectionOf<XClasses::TXCollection, TXObjectItem> {
    using TBase = TXTypedCollectionOf<XClasses::TXCollection, TXObjectItem>;
    X_CLASS(TXObjectCollection, TBase)
public:
    using inherited::Create;
    void Create(TPersistent* AOwner) { Create(AOwner, TXObjectItem::StaticClass()); }
    // Appends every item's object to List (which owns them from then on:
    // also those the items did not own) and empties the collection.
    void MoveObjectsTo(TObjectList* List);
    // The same after emptying List.
    void ExtractObjects(TObjectList* List);
};
