// The recovery engine as the program builds it: the factory's assembly,
// actions turned into work commands, results kept by operation name, the
// extensions of both modes, a real deep scan from an image file, and the
// engine's teardown when a gear raises.
#include "WorkSupport.h"
#include "rtl/StringList.h"
#include "sorvane/XDR.Gears.Work.I.h"
#include "sorvane/XDR.Module.KXR.h"
#include <atomic>
#include <functional>
#include <typeinfo>

namespace {

using namespace WorkTest;
using ImageCopyCommand = XDR::Gears::Work::I::TXDRDiskImageWorkCommand;

TOwnedPtr<TXKXRIni> NewSettings()
{
    TOwnedPtr<TXKXRIni> Ini(New<TXKXRIni>(static_cast<TComponent*>(nullptr)));
    Ini->SetDefaults();
    return Ini;
}

// Keeps the commands it is handed instead of running them.
class TCapturingGear : public TXDRWorkerGear {
    X_CLASS(TCapturingGear, TXDRWorkerGear)
public:
    std::vector<IPtr<IXCommand>> Seen;
    void HandleMessage(IXCommand* Command) override { Seen.emplace_back(Command); }
};

IPtr<IInterface> EngineHost(TXDREngine* Engine)
{
    return IPtr<IInterface>(static_cast<IXEngine*>(Engine));
}

void Pump()
{
    MSG Msg;
    while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&Msg);
    CheckSynchronize();
}

// Counts what reaches a subscriber.
struct TCounter : TObject {
    std::vector<String> Names;
    void Seen(IXNotification* N)
    {
        TXCustomAspect* A = N->GetAspect();
        auto* Ended = DynamicCast<TXOperationThreadTerminatedAspect>(A);
        Names.push_back(Ended ? Ended->Name : A->ClassName());
    }
    TXNotificationHandler Handler() { return TXNotificationHandler::Of<&TCounter::Seen>(this); }
};

} // namespace

X_REGISTER_CLASS(TCapturingGear)

TEST(RecoveryEngine, TheFactoryStoresSettingsAndSkinAndAssemblesTheGearsOnce)
{
    TOwnedPtr<TXKXRIni> Settings = NewSettings();
    TOwnedPtr<TInterfacedPersistent> Skin(New<TInterfacedPersistent>());
    TOwnedPtr<TXKXREngine> Engine(
        CreateKXREngine(Settings.get(), IPtr<IInterface>(static_cast<IInterface*>(Skin.get()))));
    ASSERT_TRUE(DynamicCast<TXKXRDataGear>(Engine->DataGear.get()));
    ASSERT_TRUE(DynamicCast<TXKXRViewGear>(Engine->ViewGear.get()));
    auto* Worker = DynamicCast<TXDRWorkerGear>(Engine->WorkerGear.get());
    ASSERT_TRUE(Worker);
    EXPECT_EQ(InterfaceToObject(Engine->DataGear->Settings.Get()), Settings.get());
    EXPECT_EQ(InterfaceToObject(Engine->ViewGear->Skin.Get()), Skin.get());
    EXPECT_EQ(Worker->Engine, Engine.get());
    EXPECT_EQ(Worker->Data()->FoundFiles, Engine->DataGear->FoundFiles());
    EXPECT_EQ(Engine->DataGear->DiskName(), u"");
    EXPECT_EQ(Engine->DataGear->Disk()->Flag, 1);
    EXPECT_EQ(Engine->ViewGear->ExtensionNames()->Count(), 3 + 73);
    EXPECT_EQ(Engine->ViewGear->ExtensionNames()->Strings(3), u".jpg");

    // A second assembly wires nothing twice: each relay arrives once.
    Engine->Broadcast(NewNotification(New<TXAssembleAspect>()).Get());
    TCounter Ui;
    Engine->ViewGear->SubscribeAll(Ui.Handler());
    for (TXCustomAspect* A : std::initializer_list<TXCustomAspect*> { New<TXLogClearAspect>(),
             New<TXLogStringAspect>(u"line"), New<TXProgressAspect>(), New<TXDRAddFileAspect>(nullptr),
             New<TXOperationThreadTerminatedAspect>(u"ImageFile", TXErrorData::Init(xecCancelled)) })
        Worker->Broadcast(NewNotification(A).Get());
    EXPECT_EQ(Ui.Names,
        (std::vector<String> { u"TXLogClearAspect", u"TXLogStringAspect", u"TXProgressAspect", u"TXDRAddFileAspect",
            u"ImageFile" }));
    EXPECT_EQ(Engine->DataGear->ImageResult.Code, xecCancelled);

    // The chosen drive comes in through the view gear.
    Engine->ViewGear->Broadcast(NewNotification(New<TXDiskAspect>(u"/dev/sdz", Byte(0), Int64(1) << 33)).Get());
    EXPECT_EQ(Engine->DataGear->DiskName(), u"/dev/sdz");
    EXPECT_EQ(Engine->DataGear->DiskSize(), Int64(1) << 33);
    EXPECT_EQ(Engine->DataGear->Disk()->Flag, 0);
    Engine->ViewGear->UnsubscribeMethod(Ui.Handler());
}

TEST(RecoveryEngine, StoreResultKeepsEachResultByItsOperationName)
{
    struct TRow {
        const char16_t* Name;
        int Image, Scan, Restore; // 1: this result was replaced
    } Rows[] = {
        { u"Scan", 0, 1, 0 },
        { u"DeepScan", 0, 1, 0 },
        { u"ImageFile", 1, 0, 0 },
        { u"Restore", 0, 0, 1 },
        { u"Copy", 0, 0, 0 },
        { u"deepscan", 0, 0, 0 },
    };
    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(nullptr, nullptr));
    TXDRDataGear* D = Engine->DataGear.get();
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(StringToUTF8(Row.Name));
        D->ImageResult = D->ScanResult = D->RestoreResult = TXErrorData::Init(xecWriteFailed);
        Engine->WorkerGear->Broadcast(
            NewNotification(New<TXOperationThreadTerminatedAspect>(Row.Name, TXErrorData::Init(xecReadFailed))).Get());
        EXPECT_EQ(D->ImageResult.Code, Row.Image ? xecReadFailed : xecWriteFailed);
        EXPECT_EQ(D->ScanResult.Code, Row.Scan ? xecReadFailed : xecWriteFailed);
        EXPECT_EQ(D->RestoreResult.Code, Row.Restore ? xecReadFailed : xecWriteFailed);
    }
}

TEST(RecoveryEngine, GetExtensionsGivesAllInTypicalModeAndTheSettingsChoiceInAdvanced)
{
    TOwnedPtr<TXKXRIni> Settings = NewSettings();
    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(Settings.get(), nullptr));
    TXDRDataGear* D = Engine->DataGear.get();

    EXPECT_EQ(D->GetExtensions(), D->Extensions());
    EXPECT_EQ(D->GetExtensions()->Count(), 73);
    EXPECT_GE(D->Extensions()->IndexOf(u".wav"), 0);

    D->Advanced = true;
    std::vector<String> Got;
    for (Integer I = 0; I < D->GetExtensions()->Count(); ++I)
        Got.push_back(D->Extensions()->Strings(I));
    EXPECT_EQ(Got,
        (std::vector<String> { u".arw", u".avi", u".cr2", u".dng", u".jpg", u".mov", u".mp3", u".mp4", u".mpg", u".nef",
            u".orf", u".pef", u".raf", u".raw", u".tif", u".wma" }));
    Settings->FileTypes()->SetFlag<1>(false); // no video
    EXPECT_EQ(D->GetExtensions()->IndexOf(u".avi"), -1);
    EXPECT_EQ(D->Extensions()->Count(), 12);

    // Typical mode ignores the settings whatever they hold.
    D->Advanced = false;
    EXPECT_EQ(D->GetExtensions()->Count(), 73);

    // Without settings Advanced mode searches for nothing.
    D->Settings = nullptr;
    D->Advanced = true;
    EXPECT_EQ(D->GetExtensions()->Count(), 0);
}

TEST(RecoveryEngine, DoActionHandsTheWorkerTheCommandForTheActionAndTheChosenSource)
{
    enum TKind { kCopy, kDeepScan, kRestore };
    struct TRow {
        TKind Kind;
        Byte Action;
        const std::type_info& Command;
        const char16_t* Source;
        Int64 DiskSize;
        const char16_t* Target;
    } Rows[] = {
        { kCopy, 0, typeid(ImageCopyCommand), u"/dev/sdz", 4096, u"/home/me/card.img" },
        { kCopy, 1, typeid(ImageCopyCommand), u"/dev/sdz", 4096, u"/home/me/card.img" },
        { kCopy, 2, typeid(ImageCopyCommand), u"/dev/sdz", 4096, u"/home/me/card.img" },
        { kDeepScan, 0, typeid(TXDRDiskDeepScanWorkCommand), u"/dev/sdz", 4096, nullptr },
        { kDeepScan, 1, typeid(TXDRDiskDeepScanWorkCommand), u"/dev/sdz", 4096, nullptr },
        { kDeepScan, 2, typeid(TXDRDiskImageDeepScanWorkCommand), u"/home/me/card.img", -1, nullptr },
        { kRestore, 0, typeid(TXDRDiskRestoreFilesWorkCommand), u"/dev/sdz", 4096, u"/home/me/out" },
        { kRestore, 1, typeid(TXDRDiskRestoreFilesWorkCommand), u"/dev/sdz", 4096, u"/home/me/out" },
        { kRestore, 2, typeid(TXDRDiskImageRestoreFilesWorkCommand), u"", -1, u"/home/me/out" },
    };
    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(nullptr, nullptr));
    // The real worker gear goes; one that keeps its commands takes its place.
    Engine->WorkerGear.reset(New<TCapturingGear>(EngineHost(Engine.get()), u"Worker"));
    auto* Gear = static_cast<TCapturingGear*>(Engine->WorkerGear.get());
    TXDRDataGear* D = Engine->DataGear.get();
    Engine->ViewGear->Broadcast(NewNotification(New<TXDiskAspect>(u"/dev/sdz", Byte(0), Int64(4096))).Get());
    D->ImageFileName = u"/home/me/card.img";
    D->RestoreFolder = u"/home/me/out";

    for (const TRow& Row : Rows) {
        SCOPED_TRACE(testing::Message() << "kind " << Row.Kind << ", Action " << int(Row.Action));
        D->Action = Row.Action;
        TXDRAction* Action = Row.Kind == kCopy ? static_cast<TXDRAction*>(New<TXDRActionImageFile>())
            : Row.Kind == kDeepScan            ? static_cast<TXDRAction*>(New<TXDRActionDeepScan>())
                                               : static_cast<TXDRAction*>(New<TXDRActionRestoreFiles>());
        Gear->Seen.clear();
        Engine->ViewGear->Broadcast(NewNotification(Action).Get());
        EXPECT_TRUE(Gear->Seen.empty()) << "run inside the view gear's broadcast";
        Pump();
        ASSERT_EQ(Gear->Seen.size(), 1u);
        TObject* Command = InterfaceToObject(Gear->Seen[0].Get());
        ASSERT_EQ(typeid(*Command), Row.Command);
        auto* Work = static_cast<TXDRWorkCommand*>(Command);
        EXPECT_EQ(Work->Gear, Gear);
        EXPECT_EQ(Work->Source, Row.Source);
        if (Row.DiskSize >= 0)
            EXPECT_EQ(static_cast<TXDRDiskWorkCommand*>(Work)->DiskSize, Row.DiskSize);
        if (auto* Copy = DynamicCast<ImageCopyCommand>(Work))
            EXPECT_EQ(Copy->TargetFileName, Row.Target);
        if (auto* Restore = DynamicCast<TXDRDiskRestoreFilesWorkCommand>(Work))
            EXPECT_EQ(Restore->TargetFolder, Row.Target);
        if (auto* Restore = DynamicCast<TXDRDiskImageRestoreFilesWorkCommand>(Work))
            EXPECT_EQ(Restore->TargetFolder, Row.Target);
    }

    // An engine whose worker gear is not the recovery program's does nothing.
    Engine->WorkerGear.reset(New<TXWorkerGear>(EngineHost(Engine.get()), u"Worker"));
    Engine->DoAction(TOwnedPtr<TXDRAction>(New<TXDRActionDeepScan>()).get());
}

TEST(RecoveryEngine, ADeepScanOfAnImageFileRunsOnTheImageAndNeverOpensTheChosenDevice)
{
    TTempFolder Folder("engine-image-scan");
    const Bytes Jpeg = MakeJpeg(Folder, 3);
    Bytes Raw(16 * 512, 0x01);
    Raw.insert(Raw.end(), Jpeg.begin(), Jpeg.end());
    Raw.resize((Raw.size() + 511) / 512 * 512 + 16 * 512, 0x01);
    WriteFileBytes(Folder / "card.img", Raw);
    // A card under the chosen device name that notices every read.
    TOwnedPtr<TFakeDevice> Device(New<TFakeDevice>(RawBytes(Raw.begin(), Raw.end())));
    std::atomic<int> DeviceReads { 0 };
    Device->SlowSectors(0, Device->SectorCount() + 1, 1);
    Device->OnDelay = [&](Cardinal) { ++DeviceReads; };
    TFakeDeviceRegistration Registration(u"/dev/fakecard", Device.get());

    TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(nullptr, nullptr));
    TXDRDataGear* D = Engine->DataGear.get();
    Engine->ViewGear->Broadcast(NewNotification(New<TXDiskAspect>(u"/dev/fakecard", Byte(0), Int64(Raw.size()))).Get());
    D->Action = 2;
    D->ImageFileName = Folder.File("card.img");
    D->ScanResult = D->RestoreResult = TXErrorData::Init(xecWriteFailed);
    TCounter Ui;
    Engine->ViewGear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(), Ui.Handler());

    Engine->ViewGear->Broadcast(NewNotification(New<TXDRActionDeepScan>()).Get());
    MSG Msg;
    while (Ui.Names.empty()) {
        GetMessage(&Msg, nullptr, 0, 0);
        DispatchMessage(&Msg);
    }
    Pump();
    EXPECT_EQ(Ui.Names, std::vector<String> { u"DeepScan" });
    EXPECT_EQ(D->ScanResult.Code, 0);
    EXPECT_EQ(D->RestoreResult.Code, xecWriteFailed);
    EXPECT_EQ(DeviceReads, 0);
    ASSERT_EQ(D->FoundFiles()->Count(), 1);
    EXPECT_EQ(D->FoundFiles()->Items(0)->Name, u"000001.jpg");
    Engine->ViewGear->UnsubscribeMethod(Ui.Handler());
}

// ---- teardown ----

namespace {

std::vector<std::string> Freed;

struct TRaisingDataGear : TXDRDataGear {
    void BeforeDestruction() override
    {
        Freed.push_back("data");
        TXDRDataGear::BeforeDestruction();
        throw std::runtime_error("data gear");
    }
};
struct TNotedView : TXDRViewGear {
    void BeforeDestruction() override
    {
        Freed.push_back("view");
        TXDRViewGear::BeforeDestruction();
    }
};
struct TNotedWorker : TXDRWorkerGear {
    void BeforeDestruction() override
    {
        Freed.push_back("worker");
        TXDRWorkerGear::BeforeDestruction();
    }
};

} // namespace

TEST(RecoveryEngine, FreeingTheEngineFreesEveryGearWhenOneRaisesAndPassesTheExceptionOn)
{
    Freed.clear();
    auto* Engine = New<TXDREngineOf<TRaisingDataGear, TNotedView, TNotedWorker>>();
    Engine->Broadcast(NewNotification(New<TXAssembleAspect>()).Get());
    TXDRDataGear* Data = Engine->DataGear.get();
    EXPECT_THROW(Engine->Free(), std::runtime_error);
    EXPECT_EQ(Freed, (std::vector<std::string> { "worker", "data", "view" }));
    // The raising gear's own free stopped in its BeforeDestruction; the
    // rest of it goes here. The engine's did not reach delete either.
    delete Data;
    delete Engine;
}
