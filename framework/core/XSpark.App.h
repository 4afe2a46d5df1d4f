// The application object: the program's file, folder and data folder as
// the path macros "<exe>", "<exen>" and "<data>"; one running instance
// per name; the activation message other processes send to the running
// instance; the forms with a task-bar button. Beside it: the command line
// (TXQVParams), the program's identity service, the two registered window
// messages and the screen's DPI routines.
//
//     if (!AcquireSingleInstance(Application->Title())) {
//         Application->Terminate();           // a second instance ends at once
//         ...
//     }
//
// A running instance answers "QVMActivateApplication" (wParam 0: custom
// activation, 1: open, 2: terminate, with lParam) by broadcasting the
// matching aspect on the application engine.
#pragma once
#include "core/XCore.Classes.h"
#include "core/XCore.Collections.h"
#include "gdi/Graphic.h"
#include "vcl/Forms.h"
#include <memory>

class TInstanceLock;
class TMutex;
class TStringList;
class TXServiceManager;

class TXQVApp : public TXInitializableObject {
    X_CLASS(TXQVApp, TXInitializableObject)
public:
    // The lists; its message hook becomes the application's OnMessage.
    void Init() override;
    // The expander and the program's file and folder.
    void Initialize() override;
    void BeforeDestruction() override;
    ~TXQVApp() override;

    // False when the core application has terminated, when another
    // process holds Name, or on any failure; the lock is held while this
    // object lives.
    bool AcquireSingleInstance(const String& Name);
    bool HoldsSingleInstance() const { return FSingleInstance != nullptr; }
    // Restores the application when it is minimised (True).
    bool BringToFront();

    void AddTaskBarForm(TComponent* Form);
    void RemoveTaskBarForm(TComponent* Form);
    TXComponentList<TComponent>* TaskBarForms() const { return FTaskBarForms.get(); }
    TXObjectList<TMutex>* Mutexes() const { return FMutexes.get(); }

    // Called after the task-bar form list changed.
    virtual void TaskBarFormsChanged() { }
    // The version text of the program file.
    virtual String GetVersionText();

    // Every "<exe>", then "<exen>", then "<data>" replaced.
    String ExpandMacros(const String& Text);

    const String& ProgramFile() const { return FProgramFile; }
    const String& ProgramFolder() const { return FProgramFolder; }
    // Where "<exe>" and files beside the program are looked for; tests
    // point it at a folder of their own.
    void SetProgramFolder(const String& Value) { FProgramFolder = Value; }
    const String& DataFolder() const { return FDataFolder; }
    void SetDataFolder(const String& Value) { FDataFolder = Value; }

    // Every message of the application's loop but the activation message.
    const TMessageEvent& OnMessage() const { return FOnMessage; }
    void SetOnMessage(const TMessageEvent& Value) { FOnMessage = Value; }

private:
    std::unique_ptr<TInstanceLock> FSingleInstance;
    TOwnedPtr<TXObjectList<TMutex>> FMutexes;
    TOwnedPtr<TXComponentList<TComponent>> FTaskBarForms;
    String FProgramFile;
    String FProgramFolder;
    String FDataFolder;
    TMessageEvent FOnMessage;
    bool FRegistered = false;

    void AppMessage(MSG& Msg, bool& Handled);
    TMessageEvent Hook() { return TMessageEvent::Of<&TXQVApp::AppMessage>(this); }
};

// The command line, from the program path (index 0) to the last argument.
class TXQVParams : public TXInitializableObject {
    X_CLASS(TXQVParams, TXInitializableObject)
public:
    void Init() override;
    // Reads the process's command line.
    void Initialize() override;

    TStringList* Params() const { return FParams.get(); }
    // Switch with ":": the first argument that begins with it; else the
    // first argument equal to it; without regard to case. -1 when none.
    Integer IndexOf(const String& Switch) const;
    bool HasSwitch(const String& Switch) const { return IndexOf(Switch) >= 0; }

private:
    TOwnedPtr<TStringList> FParams;
};

// The program's identity in the application's service registry.
class TXAppVersionService : public TXInitializableObject {
    X_CLASS(TXAppVersionService, TXInitializableObject)
public:
    // The publisher id becomes "xx".
    void Initialize() override;
    virtual String GetVersionText();

    String ProgramId;
    String PublisherId;
};

// The single instances; null outside the unit's lifetime.
TXQVApp* QVApp();
TXQVParams* QVParams();
TXServiceManager* AppServices();

bool AcquireSingleInstance(const String& Name);
bool BringAppToFront();
// Registers Service under TXAppVersionService (freeing the one before) and
// lets Manager own it.
void RegisterAppVersionService(TXServiceManager* Manager, TXAppVersionService* Service);

// The registered ids of "TaskbarCreated" and "QVMActivateApplication".
extern UINT WM_TASKBARCREATED;
extern UINT WM_QVMACTIVATEAPPLICATION;

// The screen's pixels per inch from the primary monitor's DPI, written
// directly; nothing changes when the presenter cannot tell it.
void InitPerMonitorDPI();
// Value scaled from 96 DPI to the screen's vertical DPI at start-up.
Integer ScaleToDPI(Integer Value);
// Left and Right times ScaleX, Top and Bottom times ScaleY, halves to even.
TRect ScaleRect(const TRect& Rect, double ScaleX, double ScaleY);
// This system offers what those versions added (per-monitor DPI above
// all), so both answer True.
bool IsWindows8OrLater();
bool IsWindows81OrLater();
