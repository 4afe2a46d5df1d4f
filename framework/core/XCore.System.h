// The system object: the standard folders of the system and of the user,
// offered as path macros, and the shell that opens files, folders, web
// and mail links.
//
//     ExpandPathMacros(u"<mypictures>Recovered/");   // "/home/ann/Pictures/Recovered/"
//     QVSystem()->ShellOpen(u"https://example.com/");
//
// The folders are found once, when the object initialises; each ends with
// "/", except the computer and user names.
#pragma once
#include "core/XCore.Classes.h"

class TCustomImageList;

// The shell verbs by index.
enum TXShellVerb : Integer { xsvOpen = 0, xsvPrint = 1, xsvInstall = 2, xsvExplore = 3 };

class TXQVSystem : public TXInitializableObject {
    X_CLASS(TXQVSystem, TXInitializableObject)
public:
    // The macros, in the order they are filled and replaced.
    enum TFolder : Integer {
        sfWindows,
        sfSystem,
        sfTemp,
        sfProgramFiles,
        sfUserPrograms,
        sfHome,
        sfDesktop,
        sfAppData,
        sfDocuments,
        sfMusic,
        sfPictures,
        sfComputerName,
        sfUserName,
        sfCount
    };
    static const Char* const Macros[sfCount];

    // Fills the folders and registers the expander.
    void Initialize() override;
    ~TXQVSystem() override;

    const String& Folder(TFolder Which) const { return FFolders[Which]; }
    // Text with each macro of the table replaced by its folder, in table
    // order, every occurrence, case-sensitive.
    String ExpandMacros(const String& Text);

    // Verb 0 to 3; True when the program or opener started. Print and
    // install have no opener here and answer False.
    bool ShellExecute(Integer Verb, const String& FileName, const String& Parameters, const String& Directory);
    bool ShellOpen(const String& FileName);
    // "mailto:" is put before Address unless it starts with it.
    bool MailTo(const String& Address);

private:
    String FFolders[sfCount];
    bool FRegistered = false;
};

// The single instance; null outside the unit's lifetime.
TXQVSystem* QVSystem();
// The shell folder with that id (created when missing) with its trailing
// "/"; empty when there is none.
String GetSpecialFolderPath(Integer Id);
// The shared image lists of the system's large and small icons.
TCustomImageList* SystemImagesLarge();
TCustomImageList* SystemImagesSmall();
