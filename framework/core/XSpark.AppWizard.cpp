#include "core/XSpark.AppWizard.h"
#include "core/XClasses.h"
#include "core/XCore.Engine.Aspects.h"
#include "core/XCore.Errors.h"
#include "core/XCore.IO.h"
#include "core/XCore.Locale.h"
#include "core/XIni.h"
#include "core/XSpark.App.h"
#include "core/XSpark.Lg.Filers.h"
#include "core/XCore.ZLib.h"
#include "rtl/Streams.h"
#include "rtl/StrUtils.h"
#include "rtl/StringList.h"
#include "rtl/Units.h"
#include "vcl/Menus.h"
#include "vcl/StdCtrls.h"
#include "win/Registry.h"
#include <vector>

X_REGISTER_CLASS(TXAppWizard)

X_PUBLISHED(TXAppWizard)
{
    X_PROP(RegKey, RegKey, SetRegKey);
    X_PROP(DataExt, DataExt, SetDataExt);
    X_PROP(AllowReadOnly, AllowReadOnly, SetAllowReadOnly).Default(false);
    X_PROP(FolderDlg, FolderDlg, SetFolderDlg);
    X_EVENT(OnInitApp, OnInitApp);
    X_EVENT(OnStartApp, OnStartApp);
    X_EVENT(OnLoadIni, OnLoadIni);
    X_EVENT(OnSaveIni, OnSaveIni);
    X_EVENT(OnLoadData, OnLoadData);
    X_EVENT(OnSaveData, OnSaveData);
    X_EVENT(OnLanguageChanged, OnLanguageChanged);
}

String AppDataRoot;

namespace {

TXAppWizard* GWizard = nullptr;

void DoneAppWizard()
{
    AppDataRoot.clear();
}

const char16_t* const LgIDValue = u"LgID";
const char16_t* const DataFolderValue = u"DataFolder";

String SoftwareKey(const String& Key)
{
    return u"\\Software\\" + Key;
}

// A data folder is used only as an absolute path: a relative one would
// name a folder of wherever the program happens to run.
bool IsAbsoluteFolder(const String& Path)
{
    return !Path.empty() && Path.front() == u'/';
}

// "CardMode" of a "card.ini" in Folder above 0.
bool PortableCard(const String& Folder)
{
    bool Portable = false;
    XGuarded(xecNone, false, [&] {
        const String Name = IncludePathDelimiter(Folder) + u"card.ini";
        if (!FileExistsCheck(Name))
            return;
        auto Lines = MakeOwned<TStringList>();
        Lines->LoadFromStream(OpenDataFile(Name, xzSettingsAllowance).get());
        Portable = StrToIntDef(Trim(Lines->Values(u"CardMode")), 0) > 0;
    });
    return Portable;
}

}

X_UNIT(XSpark_AppWizard, "XSpark.AppWizard", ({ "XSpark.App", "XSpark.Lg", "XClasses" }), nullptr, &DoneAppWizard)

// ---- registry functions ----

Cardinal ReadRegistryLgID(const String& Key)
{
    if (Key.empty())
        return 0;
    Cardinal Id = 0;
    XGuarded(xecNone, false, [&] {
        auto Reg = MakeOwned<TRegistry>(KEY_READ);
        Reg->SetRootKey(HKEY_CURRENT_USER);
        if (Reg->OpenKeyReadOnly(SoftwareKey(Key)) && Reg->ValueExists(LgIDValue))
            Id = Cardinal(Reg->ReadInteger(LgIDValue));
    });
    return Id;
}

void WriteRegistryLgID(const String& Key, Cardinal Id)
{
    if (Key.empty())
        return;
    XGuarded(xecNone, false, [&] {
        auto Reg = MakeOwned<TRegistry>();
        Reg->SetRootKey(HKEY_CURRENT_USER);
        if (Reg->OpenKey(SoftwareKey(Key), true))
            Reg->WriteInteger(LgIDValue, Integer(Id));
    });
}

String ReadRegistryDataFolder(const String& Key)
{
    if (Key.empty())
        return {};
    String Folder;
    XGuarded(xecNone, false, [&] {
        auto Reg = MakeOwned<TRegistry>(KEY_READ);
        Reg->SetRootKey(HKEY_CURRENT_USER);
        if (Reg->OpenKeyReadOnly(SoftwareKey(Key)))
            Folder = Reg->ReadString(DataFolderValue);
    });
    return Folder;
}

void WriteRegistryDataFolder(const String& Key, const String& Folder)
{
    if (Key.empty())
        return;
    XGuarded(xecNone, false, [&] {
        auto Reg = MakeOwned<TRegistry>();
        Reg->SetRootKey(HKEY_CURRENT_USER);
        if (Reg->OpenKey(SoftwareKey(Key), true))
            Reg->WriteString(DataFolderValue, Folder);
    });
}

// ---- TXAppWizard ----

// The click and change handler the wizard gives its language controls; it
// names the wizard, so the wizard finds its own handlers when it goes.
struct TXAppWizard::TLanguageClick {
    TXAppWizard* Wizard = nullptr;
    void operator()(TObject* Sender) const { Wizard->LanguageControlClick(Sender); }
};

TXAppWizard* AppWizard()
{
    return GWizard;
}

void TXAppWizard::Create(TComponent* AOwner)
{
    FLanguages.reset(New<TXLgHeaderList>());
    FShownLanguages.reset(New<TXLgHeaderList>(false));
    FPreferredLanguages.reset(New<TXLocaleIDStringList>());
    FLanguageControls.reset(New<TXComponentList<TComponent>>(false));
    inherited::Create(AOwner);
    Compressed = true;
    RememberedLgID = DefaultLgID;
    GWizard = this;
}

void TXAppWizard::BeforeDestruction()
{
    if (GWizard == this)
        GWizard = nullptr;
    SetIni(nullptr);
    SetFolderDlg(nullptr);
    for (Integer I = 0; I < FLanguageControls->Count(); ++I)
        ReleaseLanguageControl(FLanguageControls->Items(I));
    FLanguageControls->Clear();
    inherited::BeforeDestruction();
}

TXAppWizard::~TXAppWizard() = default;

void TXAppWizard::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FFolderDlg)
        FFolderDlg = nullptr;
}

void TXAppWizard::SetFolderDlg(TComponent* Value)
{
    if (FFolderDlg == Value)
        return;
    if (FFolderDlg)
        FFolderDlg->RemoveFreeNotification(this);
    FFolderDlg = Value;
    if (FFolderDlg)
        FFolderDlg->FreeNotification(this);
}

// ---- start ----

bool TXAppWizard::Start()
{
    TLifeWatch Watch(FLife);
    if (const TXNotifyEvent Handler = OnStartApp)
        Handler(this);
    return !Watch.Freed() && RunWizard();
}

bool TXAppWizard::InitApp()
{
    if (const TXNotifyEvent Handler = OnInitApp)
        Handler(this);
    return true;
}

bool TXAppWizard::RunWizard()
{
    TLifeWatch Watch(FLife);
    if (!InitApp() || Watch.Freed() || !SetupDataFolder())
        return false;
    LoadIni();
    if (Watch.Freed())
        return false;
    LoadSavedLanguage();
    if (Watch.Freed())
        return false;
    // From the message loop, once the program has entered it; cancelled
    // when the wizard goes first.
    DelayCall(
        100, [this](TObject*) { LoadData(); }, this);
    return true;
}

void TXAppWizard::LoadData()
{
    if (const TXNotifyEvent Handler = OnLoadData)
        Handler(this);
}

bool TXAppWizard::SetupDataFolder()
{
    TXQVApp* App = QVApp();
    if (App)
        App->SetDataFolder(String());
    String Folder;
    bool Ok = false;
    XGuarded(xecNone, false, [&] { Ok = ChooseDataFolder(Folder); });
    if (App)
        App->SetDataFolder(Ok ? Folder : String());
    return Ok;
}

bool TXAppWizard::ChooseDataFolder(String& Folder)
{
    const String ProgramFolder = QVApp() ? QVApp()->ProgramFolder() : String();
    PortableMode = !ProgramFolder.empty() && PortableCard(ProgramFolder);
    DemoMode = false;
    if (PortableMode) {
        Folder = IncludePathDelimiter(IncludePathDelimiter(ProgramFolder) + FDataExt);
    } else {
        DemoMode = QVParams() && QVParams()->HasSwitch(u"/demo");
        if (DemoMode) {
            if (!IsAbsoluteFolder(AppDataRoot))
                return false;
            // Appended as it is: a root ".../Desktop" gives ".../Desktopdemo/".
            Folder = IncludePathDelimiter(IncludePathDelimiter(AppDataRoot + u"demo") + FDataExt);
        } else {
            Folder = ReadRegistryDataFolder(FRegKey);
            if (Folder.empty()) {
                if (!IsAbsoluteFolder(AppDataRoot))
                    return false;
                Folder = IncludePathDelimiter(IncludePathDelimiter(AppDataRoot) + FDataExt);
                WriteRegistryDataFolder(FRegKey, Folder);
            }
        }
    }
    if (!IsAbsoluteFolder(Folder))
        return false;
    SafeForceDirectories(Folder);
    if (IsFolderWritable(Folder)) {
        FReadOnlyData = false;
        return true;
    }
    if (FAllowReadOnly && FolderExists(Folder)) {
        FReadOnlyData = true;
        return true;
    }
    return false;
}

// ---- settings ----

void TXAppWizard::SetIni(TXIni* Settings)
{
    // Releasing the keeper ends the subscription to the settings before.
    FSettingsKeeper = nullptr;
    FSettings = Settings;
    if (!Settings)
        return;
    Settings->SubscribeKeeper(
        TXChangedAspect::StaticClass(), FSettingsKeeper, [this](TObject*) { FSettings = nullptr; },
        TXNotificationHandler::Of<&TXAppWizard::SettingsChanged>(this));
}

void TXAppWizard::SettingsChanged(IXNotification* Notification)
{
    SaveIni();
}

void TXAppWizard::LoadIni()
{
    if (FSettings && !FSettings->FileName.empty()) {
        FSettings->SetDefaults();
        if (const Cardinal Id = ReadRegistryLgID(FRegKey))
            FSettings->SetlgID(Id);
        const String Name = ExpandPathMacros(FSettings->FileName);
        if (FileExistsCheck(Name))
            FSettings->LoadFromFile(Name);
        else
            FFirstRun = true;
        if (FSettings && FSettings->lgID() != 0)
            RememberedLgID = FSettings->lgID();
    } else if (DemoMode) {
        FFirstRun = true;
    }
    if (const TXNotifyEvent Handler = OnLoadIni)
        Handler(this);
}

void TXAppWizard::SaveIni()
{
    TLifeWatch Watch(FLife);
    // Neither mode leaves anything in the registry.
    if (!DemoMode && !PortableMode)
        WriteRegistryLgID(FRegKey, GetCurrentLgID());
    if (const TXNotifyEvent Handler = OnSaveIni)
        Handler(this);
    if (Watch.Freed() || !FSettings || FSettings->FileName.empty())
        return;
    FSettings->SetlgID(GetCurrentLgID());
    FSettings->SaveToFile(ExpandPathMacros(FSettings->FileName), Compressed);
}

void TXAppWizard::SaveData()
{
    if (const TXNotifyEvent Handler = OnSaveData)
        Handler(this);
}

void TXAppWizard::SaveAll()
{
    TLifeWatch Watch(FLife);
    SaveData();
    if (Watch.Freed())
        return;
    SaveIni();
    if (Watch.Freed())
        return;
    if (!PortableMode && !DemoMode && QVApp())
        WriteRegistryDataFolder(FRegKey, QVApp()->DataFolder());
}

// ---- languages ----

void TXAppWizard::AddLanguageStream(TStream* Stream)
{
    if (!Stream || Stream->Size() == 0)
        return;
    TOwnedPtr<TXLgHeader> Header(New<TXLgHeader>());
    Header->SetAppID(LanguageAppID);
    Header->SetAppVer(LanguageAppVer);
    Stream->SetPosition(0);
    ClearXError();
    const bool Loaded =
        FilerLoadFromStream(Stream, TXLgFiler::StaticClass(), Header.get(), false, nullptr) && GetXErrorCode() == 0;
    if (!Loaded) {
        SetXError(xecReadFailed, 0, {}, false);
        return;
    }
    if (FLanguages->IndexOfLgID(Header->LgID()) >= 0)
        return;
    Header->Stream = Stream;
    FShownLanguages->Add(Header.get());
    FLanguages->Add(Header.release());
    RefreshLanguageList();
}

void TXAppWizard::AddLanguageControl(TComponent* Control)
{
    if (!Control)
        return;
    FLanguageControls->AddUnique(Control);
    FillLanguageControl(Control);
}

void TXAppWizard::RefreshLanguageList()
{
    if (LanguageListenersSuspended())
        return;
    FShownLanguages->Clear();
    for (Integer I = 0; I < FPreferredLanguages->Count(); ++I) {
        const Integer Known = FLanguages->IndexOfLgID(FPreferredLanguages->LgIDAt(I));
        if (Known >= 0)
            FShownLanguages->AddUnique(FLanguages->Items(Known));
    }
    if (FShownLanguages->Count() == 0)
        for (Integer I = 0; I < FLanguages->Count(); ++I)
            FShownLanguages->Add(FLanguages->Items(I));
    FShownLanguages->SortLanguages();
    std::vector<TComponent*> Controls;
    for (Integer I = 0; I < FLanguageControls->Count(); ++I)
        Controls.push_back(FLanguageControls->Items(I));
    for (TComponent* Control : Controls)
        if (FLanguageControls->IndexOf(Control) >= 0)
            FillLanguageControl(Control);
}

void TXAppWizard::FillLanguageControl(TComponent* Control)
{
    if (LanguageListenersSuspended())
        return;
    const Cardinal Current = GetCurrentLgID();
    if (auto* Menu = DynamicCast<TMenuItem>(Control)) {
        Menu->Clear();
        for (Integer I = 0; I < FShownLanguages->Count(); ++I) {
            TXLgHeader* Language = FShownLanguages->Items(I);
            auto* Item = New<TMenuItem>(Menu);
            Item->SetCaption(Language->Name());
            Item->SetRadioItem(true);
            Item->OnClick = TLanguageClick { this };
            Menu->Add(Item);
            if (Language->LgID() == Current)
                Item->SetChecked(true);
        }
    } else if (auto* Combo = DynamicCast<TCustomComboBox>(Control)) {
        Combo->OnChange = nullptr;
        Combo->Items()->Clear();
        const IPtr<IXLanguageList> ById = Supports<IXLanguageList>(Combo);
        Integer Selected = -1;
        for (Integer I = 0; I < FShownLanguages->Count(); ++I) {
            TXLgHeader* Language = FShownLanguages->Items(I);
            if (ById)
                ById->AddLanguage(Language->LgID());
            else
                Combo->Items()->Add(Language->Name());
            if (Selected < 0 && Language->LgID() == Current)
                Selected = I;
        }
        if (Selected < 0 && Combo->Items()->Count() > 0)
            Selected = 0;
        Combo->SetItemIndex(Selected);
        Combo->OnChange = TLanguageClick { this };
    }
}

void TXAppWizard::ReleaseLanguageControl(TComponent* Control)
{
    const auto Release = [this](TNotifyEvent& Event) {
        if (const auto* Click = Event.target<TLanguageClick>(); Click && Click->Wizard == this)
            Event = nullptr;
    };
    if (auto* Menu = DynamicCast<TMenuItem>(Control)) {
        for (Integer I = 0; I < Menu->Count(); ++I)
            Release(Menu->Items(I)->OnClick);
    } else if (auto* Combo = DynamicCast<TCustomComboBox>(Control)) {
        Release(Combo->OnChange);
    }
}

void TXAppWizard::LanguageControlClick(TObject* Sender)
{
    if (LanguageListenersSuspended())
        return;
    Integer Index = -1;
    if (auto* Item = DynamicCast<TMenuItem>(Sender))
        Index = Item->MenuIndex();
    else if (auto* Combo = DynamicCast<TCustomComboBox>(Sender))
        Index = Combo->ItemIndex();
    if (Index >= 0)
        LoadLanguage(Index);
}

bool TXAppWizard::ReadLanguage(TXLgHeader* Header, TXLgProject* Project)
{
    ClearXError();
    bool Read = false;
    if (Header->Stream) {
        Header->Stream->SetPosition(0);
        Read = FilerLoadFromStream(Header->Stream, TXLgFiler::StaticClass(), Project, false, nullptr);
    } else if (!Header->FileName.empty()) {
        Read = FilerLoadFromFile(Header->FileName, TXLgFiler::StaticClass(), Project, false, nullptr);
    }
    // A group that failed leaves its code while the load answers True.
    return Read && GetXErrorCode() == 0;
}

void TXAppWizard::UseLanguage(TXLgProject* Project)
{
    TXLg* Language = Lg();
    Language->Clear();
    for (Integer I = 0; I < Project->Streams()->Count(); ++I) {
        TXBI* Item = Project->Streams()->Items(I);
        Language->AddStream(Item->Data()->DataClass(), Item->Data()->DataStream(), Item->DisplayName());
        Item->Data()->DataStream()->Clear();
    }
    Language->LoadWordsFromStream(Project->Words(), true);
    if (const TXNotifyEvent Handler = OnLanguageChanged)
        Handler(this);
}

void TXAppWizard::MarkLanguage(Integer Index)
{
    if (Index < 0)
        return;
    XGuarded(xecNone, false, [&] {
        for (Integer I = 0; I < FLanguageControls->Count(); ++I) {
            TComponent* Control = FLanguageControls->Items(I);
            if (auto* Menu = DynamicCast<TMenuItem>(Control)) {
                if (Index < Menu->Count())
                    Menu->Items(Index)->SetChecked(true);
            } else if (auto* Combo = DynamicCast<TCustomComboBox>(Control)) {
                Combo->SetItemIndex(Index);
            }
        }
    });
}

bool TXAppWizard::LoadLanguage(Integer Index)
{
    if (Index < 0 || Index >= FShownLanguages->Count())
        return false;
    // Every registered window re-captions once, at the end.
    SuspendLanguageListeners();
    struct TResume {
        ~TResume() { ResumeLanguageListeners(true); }
    } Resume;
    TLifeWatch Watch(FLife);
    TOwnedPtr<TXLgProject> Project(New<TXLgProject>());
    Project->SetAppID(LanguageAppID);
    Project->SetAppVer(LanguageAppVer);
    bool Read = false;
    XGuarded(xecNone, false, [&] {
        Read = ReadLanguage(FShownLanguages->Items(Index), Project.get());
        if (!Read) {
            Project->Words()->Clear();
            Project->Streams()->Clear();
            // The first built-in language; with none the language stays
            // empty and no entry is marked.
            Index = FShownLanguages->IndexOfBuiltIn();
            if (Index >= 0)
                Read = ReadLanguage(FShownLanguages->Items(Index), Project.get());
        }
        UseLanguage(Project.get());
    });
    Project.reset();
    if (!Watch.Freed())
        MarkLanguage(Index);
    return Read;
}

bool TXAppWizard::LoadSavedLanguage()
{
    Integer Index = FShownLanguages->IndexOfLgID(RememberedLgID);
    if (Index < 0)
        Index = 0;
    return LoadLanguage(Index);
}
