// The word table of the current language: every visible text is looked up
// by its 32-bit word id. A word table is loaded from text lines
// "<hex id>=<value>", the value in the digit coding (base 36).
//
//     LoadWords(Lg()->Words(), Stream);
//     String Caption = Lg()->GetWord(0x80F0C01E);     // empty when missing
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include "rtl/Streams.h"

// Word id and coded value, in the order loaded.
using TXWordPairs = TXPairs<Cardinal, UTF8String>;
class TXW : public TXWordPairs {
    X_CLASS(TXW, TXWordPairs)
public:
    // The decoded text of Id; empty when the table has none. Without bit
    // 31 in Id every "#13#10" of the text becomes a line break.
    String GetWord(Cardinal Id) const;
};

// Appends the pairs of a word-table text read from Stream's position to
// Table. Lines whose id does not parse or is 0 are skipped. False when
// reading fails; the pairs read so far stay.
bool LoadWords(TXW* Table, TStream* Stream);

class TXLg : public TXPersistent {
    X_CLASS(TXLg, TXPersistent)
public:
    void Create() override;
    void Clear() override;

    TXW* Words() const { return FWords.get(); }
    String GetWord(Cardinal Id) const { return FWords->GetWord(Id); }
    bool LoadWordsFromStream(TStream* Stream, bool Rewind);
    // Word 1 as a decimal number; 0 when absent or not a number.
    Cardinal GetLgID() const;

    bool NotifyOnLoad = true;

private:
    TOwnedPtr<TXW> FWords;
};

// The current language (exists while the unit "XSpark.Lg" is initialised).
TXLg* Lg();
