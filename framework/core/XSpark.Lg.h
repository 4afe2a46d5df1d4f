// The languages of the user interface. Every visible text is looked up by
// its 32-bit word id in the current language's word table. A word table is
// loaded from text lines "<hex id>=<value>", the value in the digit coding
// (base 36).
//
//     LoadWords(Lg()->Words(), Stream);
//     String Caption = Lg()->GetWord(0x80F0C01E);     // empty when missing
//
// Forms and dialogs that show words register a language procedure, which
// runs whenever the current language changes:
//
//     RegisterLanguageListener(TXAnyProcedure::Method<&TMyForm::Recaption>(this));
//     ...
//     UnregisterLanguageListener(TXAnyProcedure::Method<&TMyForm::Recaption>(this));
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include "core/XCore.Streams.Containers.h"
#include "core/XCore.Types.h"
#include "rtl/Streams.h"
#include <mutex>
#include <string_view>
#include <unordered_map>

// The language every program starts in (English); the unit's
// initialisation sets it.
extern Cardinal DefaultLgID;

// Word id and coded value, in the order loaded.
using TXWordPairs = TXPairs<Cardinal, UTF8String>;
class TXW : public TXWordPairs {
    X_CLASS(TXW, TXWordPairs)
public:
    // The decoded text of the first pair with Id; empty when the table has
    // none. Without bit 31 in Id every "#13#10" of the text becomes a line
    // break. Texts are decoded once and kept until the table changes, so
    // a lookup costs a hash probe; lookups may come from any thread while
    // the table stays unchanged.
    String GetWord(Cardinal Id) const;
    // The decoding step of GetWord for one coded value: base-36 digits to
    // bytes, read as UTF-8 (invalid sequences become U+FFFD).
    static String DecodeWord(Cardinal Id, std::string_view Coded);

protected:
    void Notify(const TPair& Item, TCollectionNotification Action) override;
    void Reordered() override;

private:
    struct TEntry {
        Integer Index = 0;
        bool Decoded = false;
        String Text;
    };
    mutable std::mutex FIndexLock;
    // Id -> its first pair; built at the first lookup, extended by appends,
    // dropped by any other change.
    mutable std::unordered_map<Cardinal, TEntry> FIndex;
    mutable bool FIndexed = false;

    void DropIndex();
};

// Appends the pairs of a word-table text read from Stream's position to
// Table. A UTF-8 or UTF-16 byte-order mark names the encoding, else the
// bytes are ANSI (1252). Lines whose id is not hexadecimal, is 0 or does
// not fit in 32 bits, and lines without "=", are skipped. False (with
// xecReadFailed) when reading fails or the table needs more than the load
// rule allows (xzLanguageAllowance); nothing is added then.
bool LoadWords(TXW* Table, TStream* Stream);

// A language's named stream (a help text, say), kept in a stored blob.
class TXBI : public TXStreamItem {
    X_CLASS(TXBI, TXStreamItem)
};

class TXBCollection : public TXStreamCollection<TXBI> {
    X_CLASS(TXBCollection, TXStreamCollection<TXBI>)
public:
    using inherited::Create;
};

class TXLg : public TXPersistent {
    X_CLASS(TXLg, TXPersistent)
public:
    void Create() override;
    // Empties the words and the streams.
    void Clear() override;
    // From another language: its words (these cleared first), streams and
    // NotifyOnLoad; the current language then runs the language procedures.
    bool AssignFrom(TPersistent* Source) override;

    TXW* Words() const { return FWords.get(); }
    TXBCollection* Streams() const { return FStreams.get(); }
    String GetWord(Cardinal Id) const { return FWords->GetWord(Id); }
    // Rewinds first when asked; the current language runs the language
    // procedures afterwards while NotifyOnLoad is set.
    bool LoadWordsFromStream(TStream* Stream, bool Rewind);
    // Word 1 as a decimal number; 0 when absent or not a number.
    Cardinal GetLgID() const;
    // The data of the stream Name (without regard to case). Without one,
    // a shared memory stream that is emptied at every such answer.
    TMemoryStream* GetStream(const String& Name) const;
    // A new stream item Name with Kind as its data class and Stream's
    // whole content; null (and no item) when loading fails.
    TXBI* AddStream(const String& Kind, TStream* Stream, const String& Name);

    bool NotifyOnLoad = true;

private:
    TOwnedPtr<TXW> FWords;
    TOwnedPtr<TXBCollection> FStreams;
};

// The current language (exists while the unit "XSpark.Lg" is initialised).
TXLg* Lg();
// Lg()->GetLgID(), 0 without a current language.
Cardinal GetCurrentLgID();
// The same as four (or more) lower-case hexadecimal digits.
String GetCurrentLgIDHex();

// What a language file says of itself, and where a built-in language's
// data lies.
class TXLgHeader : public TXNamedPersistent {
    X_CLASS(TXLgHeader, TXNamedPersistent)
public:
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;

    Cardinal LgID() const { return FLgID; }
    void SetLgID(Cardinal Value) { FLgID = Value; }
    Cardinal AppID() const { return FAppID; }
    void SetAppID(Cardinal Value) { FAppID = Value; }
    Cardinal AppVer() const { return FAppVer; }
    void SetAppVer(Cardinal Value) { FAppVer = Value; }
    const String& Revision() const { return FRevision; }
    void SetRevision(const String& Value) { FRevision = Value; }
    const String& Author() const { return FAuthor; }
    void SetAuthor(const String& Value) { FAuthor = Value; }
    const String& Contact() const { return FContact; }
    void SetContact(const String& Value) { FContact = Value; }
    const String& Comments() const { return FComments; }
    void SetComments(const String& Value) { FComments = Value; }
    const String& Data() const { return FData; }
    void SetData(const String& Value) { FData = Value; }

    // The language file the header was read from (not stored).
    String FileName;
    // A built-in language's data, held in memory by its giver; null for a
    // language read from a file.
    TStream* Stream = nullptr;

private:
    Cardinal FLgID = 0;
    Cardinal FAppID = 0;
    Cardinal FAppVer = 0;
    String FRevision;
    String FAuthor;
    String FContact;
    String FComments;
    String FData;
};

// A whole language: its header, word-table text and named streams.
class TXLgProject : public TXLgHeader {
    X_CLASS(TXLgProject, TXLgHeader)
public:
    void Create() override;
    void Clear() override;
    bool AssignFrom(TPersistent* Source) override;

    // The word-table text.
    TMemoryStream* Words() const { return FWords.get(); }
    TXBCollection* Streams() const { return FStreams.get(); }

private:
    TOwnedPtr<TMemoryStream> FWords;
    TOwnedPtr<TXBCollection> FStreams;
};

// The known languages; owns its headers.
class TXLgHeaderList : public TXObjectList<TXLgHeader> {
    X_CLASS(TXLgHeaderList, TXObjectList<TXLgHeader>)
public:
    TXLgHeader* Items(Integer Index) const { return GetItem(Index); }
    // The first header with that language id; -1 when none.
    Integer IndexOfLgID(Cardinal Id) const;
    // The first built-in language (one with a Stream); -1 when none.
    Integer IndexOfBuiltIn() const;
    // With two or more headers: the default language first, the others by
    // Name without regard to case (equal ones keep their order).
    void SortLanguages();
};

// A list control that shows languages by their ids (the framework's combo
// box); the language menus and other combo boxes show their names.
struct IXLanguageList : IInterface {
    X_GUID("{5E2D7C41-9A83-4F6B-B1D0-3C8E27A94F65}")
    virtual void AddLanguage(Cardinal LgID) = 0;
};

// The language procedures: one list for the process, each method once.
// Main thread only. A procedure may unregister itself or another one
// while they run; one that raises ends the round, and its exception goes
// no further.
// Adds Method unless it is listed, and runs it at once unless suspended.
void RegisterLanguageListener(const TXAnyProcedure& Method);
void UnregisterLanguageListener(const TXAnyProcedure& Method);
// Runs every listed procedure in list order, unless suspended.
void NotifyLanguageListeners();
void SuspendLanguageListeners();
// Resumes, and runs the procedures when CallNow.
void ResumeLanguageListeners(bool CallNow);
bool LanguageListenersSuspended();
