// The recovery engine's worker gear: a gear with a worker whose
// notifications it passes on to its own subscribers, so that the engine's
// other gears follow every operation through the one gear.
//
//     auto* Gear = New<TXDRWorkerGear>(EngineHost, u"Worker");
//     Gear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(), Handler);
//
// The gear wires the rest of its subscriptions when its host engine
// announces that it is complete (TXAssembleAspect).
#pragma once
#include "core/XCore.Engine.h"
#include "sorvane/XCore.Engine.WorkerProgress.h"
#include <functional>

class TXWorkerGear : public XCore::Engine::TXGear {
    X_CLASS(TXWorkerGear, XCore::Engine::TXGear)
public:
    using inherited::Create;
    // The worker is counted interlocked and hosted by AHost, so that what
    // it posts from a worker thread is delivered on the host's thread.
    void Create(IPtr<IInterface> AHost, const String& AName) override;
    void BeforeDestruction() override;
    // The worker follows the gear to its new host.
    void SetHost(IPtr<IInterface> NewHost) override;

    IXWorker* Worker() const { return FWorker.Get(); }
    // Before new work (main thread): drops what the worker posted and was
    // not delivered yet, and resets the worker and its progress.
    void ResetWorker();
    // Wires the gear's subscriptions once the engine is complete.
    virtual void Assemble() { }

protected:
    // Ends the forwarding of the worker's notifications (idempotent).
    void DetachWorker();

private:
    IPtr<IXWorker> FWorker;
    IPtr<IXObservable> FAssembler;
    bool FForwarding = false;

    void WorkerNotified(IXNotification* Notification);
    void AssembleReceived(IXNotification* Notification);
    TXNotificationHandler ForwardHandler() { return TXNotificationHandler::Of<&TXWorkerGear::WorkerNotified>(this); }
    TXNotificationHandler AssembleHandler() { return TXNotificationHandler::Of<&TXWorkerGear::AssembleReceived>(this); }
};

// ---- the recovery engine and its data and view gears ----
//
//     TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(Settings, Skin));
//     Engine->DataGear->ImageFileName = u"/home/me/card.img";
//     Engine->ViewGear->Broadcast(NewNotification(New<TXDRActionImageFile>()).Get());
//
// The engine creates its three gears in its init; one TXAssembleAspect
// broadcast (the factory's) wires their subscriptions.

class TXDREngine;
class TXDRAction;
class TXDiskAspect;
class TXDRFileCollection;
class TStringList;

// What the user chose, the found files and the result of each operation.
class TXDRDataGear : public XCore::Engine::TXGear {
    X_CLASS(TXDRDataGear, XCore::Engine::TXGear)
public:
    using inherited::Create;
    void Create(IPtr<IInterface> AHost, const String& AName) override;
    ~TXDRDataGear() override;

    TXDREngine* Engine = nullptr; // not owned
    // The settings object; its FileTypes choose the extensions in
    // Advanced mode.
    IPtr<IInterface> Settings;
    bool Advanced = false;
    // 0 recover from a disk, 1 copy a card into an image file, 2 recover
    // from an image file.
    Byte Action = 0;
    TXErrorData ImageResult, ScanResult, RestoreResult;
    String ImageFileName;
    String RestoreFolder;

    TXDiskAspect* Disk() const { return FDisk.get(); }
    String DiskName() const;
    Int64 DiskSize() const;
    TXDRFileCollection* FoundFiles() const { return FFoundFiles.get(); }
    TStringList* Extensions() const { return FExtensions.get(); }
    // Fills Extensions: every extension in Typical mode, the ones chosen
    // in the settings in Advanced mode.
    TStringList* GetExtensions();

    virtual void Assemble(IXNotification* Notification);
    // Keeps the result of a finished operation by its name.
    void StoreResult(IXNotification* Notification);
    void DiskSelected(IXNotification* Notification);

private:
    TOwnedPtr<TStringList> FExtensions;
    TOwnedPtr<TXDiskAspect> FDisk;
    TOwnedPtr<TXDRFileCollection> FFoundFiles;
    bool FAssembled = false;
};

// Relays what the worker reports to its own subscribers (the user
// interface), and carries the actions the user interface sends.
class TXDRViewGear : public XCore::Engine::TXGear {
    X_CLASS(TXDRViewGear, XCore::Engine::TXGear)
public:
    using inherited::Create;
    void Create(IPtr<IInterface> AHost, const String& AName) override;
    ~TXDRViewGear() override;

    TXDREngine* Engine = nullptr; // not owned
    IPtr<IInterface> MainDialog;
    IPtr<IInterface> Skin;
    // Three empty entries, then every image, video and audio extension.
    TStringList* ExtensionNames() const { return FExtensionNames.get(); }

    virtual void BuildSmallExtImages(Integer, Integer) { }
    virtual void BuildLargeExtImages(Integer, Integer) { }
    virtual void Assemble(IXNotification* Notification);

private:
    TOwnedPtr<TStringList> FExtensionNames;
    bool FAssembled = false;
    void Relay(IXNotification* Notification);
};

class TXDREngine : public XCore::Engine::TXEngine {
    X_CLASS(TXDREngine, XCore::Engine::TXEngine)
public:
    // Cancel and a lost device raise on the engine's thread.
    void Init() override;
    // Ends the subscriptions between the engine and its gears, then frees
    // the worker, data and view gears; every gear is freed even when one
    // raises, and the first exception is passed on afterwards.
    void BeforeDestruction() override;

    TOwnedPtr<TXDRDataGear> DataGear;
    TOwnedPtr<TXDRViewGear> ViewGear;
    TOwnedPtr<TXWorkerGear> WorkerGear;
    String StallQuestion;
    TClass StallButtons = nullptr;
    std::function<void()> NoFilesHook;
    std::function<void()> ExitHook;
    String FinishLink;

    // Turns an action of the view gear into work; nothing here.
    virtual void DoAction(TXDRAction*) { }

protected:
    // Creates, hosts and subscribes the three gears in order.
    void CreateGears(TXDRDataGear* (*NewData)(IPtr<IInterface>), TXDRViewGear* (*NewView)(IPtr<IInterface>),
        TXWorkerGear* (*NewWorker)(IPtr<IInterface>));

private:
    TXErrorData FOldCodeSets;
    void ActionReceived(IXNotification* Notification);
};

// The engine with gears of the given classes.
template<class TData, class TView, class TWorker>
class TXDREngineOf : public TXDREngine {
    X_CLASS_TEMPLATE(TXDREngineOf, TXDREngine, u"TXDREngine<TData, TView, TWorker>")
public:
    void Init() override
    {
        inherited::Init();
        CreateGears([](IPtr<IInterface> Host) -> TXDRDataGear* { return New<TData>(Host, u"Data"); },
            [](IPtr<IInterface> Host) -> TXDRViewGear* { return New<TView>(Host, u"View"); },
            [](IPtr<IInterface> Host) -> TXWorkerGear* { return New<TWorker>(Host, u"Worker"); });
    }
};
