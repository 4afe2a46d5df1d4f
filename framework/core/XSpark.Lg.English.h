// The built-in English language: our own texts for the word ids the
// programs show, made into a language file for a program's identity:
//
//     TOwnedPtr<TMemoryStream> English(NewEnglishLanguageStream(6001, 600));
//     Wizard->AddLanguageStream(English.get());   // the stream stays ours
//
// Ids are added here as the parts that show them are built.
#pragma once
#include "rtl/Streams.h"
#include <span>
#include <utility>
#include <vector>

// A word of the table: its id and its plain text (UTF-8).
struct TXEnglishWord {
    Cardinal Id;
    const char* Text;
};

std::span<const TXEnglishWord> EnglishWords();

// A word-table text of Words: "<id in eight hex digits>=<digit-coded
// UTF-8 text>" lines.
UTF8String MakeWordTableText(const std::vector<std::pair<Cardinal, String>>& Words);

// A language file named "English" with language id 9 for AppID and AppVer,
// its word 1 the language id. Null when it cannot be written.
TMemoryStream* NewEnglishLanguageStream(Cardinal AppID, Cardinal AppVer);
