// The application wizard takes a program from the moment its forms exist to
// the moment its data is loaded: it raises the program's events in a fixed
// order, chooses and checks the data folder (portable, demo or normal
// mode), loads the settings file and the remembered language, and raises
// OnLoadData from the message loop. Afterwards it saves the settings file
// whenever the settings change, keeps the registry values "DataFolder" and
// "LgID", and fills the program's language menus and combo boxes:
//
//     AppDataRoot = SystemFolder(u"<appdata>") + u"Quorvale/Desktop";
//     Wizard->LanguageAppID = 6001;
//     Wizard->LanguageAppVer = 600;
//     Wizard->AddLanguageStream(English);      // built-in languages
//     Wizard->AddLanguageControl(LanguagesMenu);
//     if (!Wizard->Start())                    // OnInitApp binds the settings
//         ...                                  // no usable data folder
#pragma once
#include "core/XCore.Engine.Interfaces.h"
#include "core/XEngine.MsgWindows.h"
#include "core/XSpark.Lg.h"

class TXIni;
class TXLocaleIDStringList;

// The root under which the normal data folder is made; set by the program
// before the start. It must be an absolute path.
extern String AppDataRoot;

// The registry values below HKEY_CURRENT_USER\Software\<Key>. An empty key
// does nothing; failures are swallowed (0 or an empty text).
Cardinal ReadRegistryLgID(const String& Key);
void WriteRegistryLgID(const String& Key, Cardinal Id);
String ReadRegistryDataFolder(const String& Key);
void WriteRegistryDataFolder(const String& Key, const String& Folder);

class TXAppWizard : public TXMsgWindow {
    X_CLASS(TXAppWizard, TXMsgWindow)
public:
    // Becomes the process's wizard.
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;
    ~TXAppWizard() override;

    using TXMsgWindow::Start;

    // Raises OnLoadData.
    virtual void LoadData();
    // The start sequence after OnStartApp: InitApp, SetupDataFolder (False
    // ends the start), LoadIni, LoadSavedLanguage, then LoadData 100 ms
    // later from the message loop.
    virtual bool RunWizard();
    // Raises OnInitApp; False stops the start.
    virtual bool InitApp();
    // Raises OnStartApp, then RunWizard.
    virtual bool Start();
    // Chooses, creates and checks the data folder: the program's folder
    // when "card.ini" there says CardMode > 0, AppDataRoot + "demo" with
    // "/demo", else "DataFolder" from the registry or AppDataRoot. False
    // (the data folder empty) when it is not an absolute path or can be
    // neither written nor, with AllowReadOnly, found.
    virtual bool SetupDataFolder();
    // SaveData, SaveIni, then "DataFolder" unless portable or demo.
    virtual void SaveAll();

    void LoadIni();
    // "LgID" unless portable or demo, OnSaveIni, then the settings file.
    void SaveIni();
    void SaveData();
    // Binds Settings (not owned; null unbinds): every change saves them.
    // The binding ends with whichever of the two goes first.
    void SetIni(TXIni* Settings);
    TXIni* Settings() const { return FSettings; }

    // A built-in language in a memory stream (the stream stays the
    // caller's); nothing when its header cannot be read or its language is
    // known already.
    void AddLanguageStream(TStream* Stream);
    // A menu item or combo box that shows the languages; filled at once.
    void AddLanguageControl(TComponent* Control);
    // Loads ShownLanguages[Index]; a language that fails falls back to the
    // first built-in one. The language procedures run once at the end.
    // True when the language loaded was read whole.
    bool LoadLanguage(Integer Index);
    // The remembered language, else the first shown.
    bool LoadSavedLanguage();
    void RefreshLanguageList();
    void FillLanguageControl(TComponent* Control);

    const String& RegKey() const { return FRegKey; }
    void SetRegKey(const String& Value) { FRegKey = Value; }
    const String& DataExt() const { return FDataExt; }
    void SetDataExt(const String& Value) { FDataExt = Value; }
    bool AllowReadOnly() const { return FAllowReadOnly; }
    void SetAllowReadOnly(bool Value) { FAllowReadOnly = Value; }
    // The program's folder dialog; not used by the start.
    TComponent* FolderDlg() const { return FFolderDlg; }
    void SetFolderDlg(TComponent* Value);

    TXLgHeaderList* Languages() const { return FLanguages.get(); }
    TXLgHeaderList* ShownLanguages() const { return FShownLanguages.get(); }
    TXLocaleIDStringList* PreferredLanguages() const { return FPreferredLanguages.get(); }
    bool FirstRun() const { return FFirstRun; }
    bool ReadOnlyData() const { return FReadOnlyData; }

    bool Compressed = true;
    Cardinal RememberedLgID = 9;
    Cardinal LanguageAppID = 0;
    Cardinal LanguageAppVer = 0;

    TXNotifyEvent OnInitApp;
    TXNotifyEvent OnStartApp;
    TXNotifyEvent OnLoadIni;
    TXNotifyEvent OnSaveIni;
    TXNotifyEvent OnLoadData;
    TXNotifyEvent OnSaveData;
    TXNotifyEvent OnLanguageChanged;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    struct TLanguageClick;
    String FRegKey;
    String FDataExt;
    bool FAllowReadOnly = false;
    TComponent* FFolderDlg = nullptr;
    TXIni* FSettings = nullptr;
    IPtr<IXObserverKeeper> FSettingsKeeper;
    TOwnedPtr<TXLgHeaderList> FLanguages;
    TOwnedPtr<TXLgHeaderList> FShownLanguages;
    TOwnedPtr<TXLocaleIDStringList> FPreferredLanguages;
    TOwnedPtr<TXComponentList<TComponent>> FLanguageControls;
    bool FFirstRun = false;
    bool FReadOnlyData = false;

    void SettingsChanged(IXNotification* Notification);
    void LanguageControlClick(TObject* Sender);
    // Reads the header's language (its stream, else its file) into Project;
    // True only when everything was read.
    bool ReadLanguage(TXLgHeader* Header, TXLgProject* Project);
    void UseLanguage(TXLgProject* Project);
    void MarkLanguage(Integer Index);
    void ReleaseLanguageControl(TComponent* Control);
    bool ChooseDataFolder(String& Folder);
};

// The wizard made last; null when it is gone.
TXAppWizard* AppWizard();
