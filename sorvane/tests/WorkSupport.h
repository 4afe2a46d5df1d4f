// The rig of the worker-thread tests: an engine pumped by the test on the
// main thread, the worker gear with found files and file types filled in
// (as the data gear will), a log of what the gear tells its subscribers,
// and a card held back on the worker thread at a chosen moment.
#pragma once
#include "rtl/testing/FatImage.h"
#include "win/FakeDevice.h"
#include "win/Time.h"
#include "win/WinApi.h"
#include "sorvane/XDR.Gears.Work.R.h"
#include <gtest/gtest.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>

namespace WorkTest {

using namespace Testing;

// A JPEG by ImageMagick; Seed varies the picture.
inline Bytes MakeJpeg(const TTempFolder& Folder, int Seed, const std::string& Size = "160x120")
{
    const std::string Name = "pic" + std::to_string(Seed) + ".jpg";
    const std::string Colours = Seed % 2 ? "gradient:red-blue" : "gradient:green-yellow";
    if (RunTool({ "convert", "-size", Size, Colours, "-swirl", std::to_string(30 + Seed * 17), Name }, Folder.Path())
            .ExitCode != 0)
        throw std::runtime_error("convert (imagemagick) failed");
    return ReadFileBytes(Folder / Name);
}

// A one-second MP4 by ffmpeg.
inline Bytes MakeMp4(const TTempFolder& Folder)
{
    if (RunTool({ "ffmpeg", "-v", "quiet", "-y", "-f", "lavfi", "-i", "testsrc=duration=1:size=64x48:rate=5",
                    "-pix_fmt", "yuv420p", "-c:v", "mpeg4", "-f", "mp4", "clip.mp4" },
            Folder.Path())
            .ExitCode != 0)
        throw std::runtime_error("ffmpeg failed");
    return ReadFileBytes(Folder / "clip.mp4");
}

// A QuickTime clip by ffmpeg's MOV writer (its "ftyp" atom is 20 bytes);
// Seconds varies the clip.
inline Bytes MakeMov(const TTempFolder& Folder, int Seconds)
{
    const std::string Name = "clip" + std::to_string(Seconds) + ".mov";
    if (RunTool({ "ffmpeg", "-v", "quiet", "-y", "-f", "lavfi", "-i",
                    "testsrc=duration=" + std::to_string(Seconds) + ":size=64x48:rate=5", "-pix_fmt", "yuv420p",
                    "-c:v", "mpeg4", "-f", "mov", Name },
            Folder.Path())
            .ExitCode != 0)
        throw std::runtime_error("ffmpeg failed");
    return ReadFileBytes(Folder / Name);
}

// Holds the worker thread inside its next device read once armed, until
// the test lets it go. Reads go through a fake device whose every sector
// is "slow" by 1 ms, so each read passes here without touching the clock.
class TReadGate {
public:
    explicit TReadGate(TFakeDevice* Device)
    {
        Device->SlowSectors(0, Device->SectorCount() + 1, 1);
        Device->OnDelay = [this](Cardinal Ms) {
            if (OnSlow)
                OnSlow(Ms);
            Pass();
            if (AfterSlow)
                AfterSlow(Ms);
        };
    }
    // Called on every read with its delay (worker thread): before the
    // read may be held (arming there holds this read), and after.
    std::function<void(Cardinal)> OnSlow, AfterSlow;
    void Arm() { Armed = true; }
    bool Held()
    {
        std::lock_guard Guard(Lock);
        return IsHeld;
    }
    void Release()
    {
        {
            std::lock_guard Guard(Lock);
            Released = true;
        }
        Cond.notify_all();
    }

private:
    void Pass()
    {
        if (!Armed.exchange(false))
            return;
        std::unique_lock Guard(Lock);
        IsHeld = true;
        Guard.unlock();
        // The main thread may be waiting in GetMessage: wake it.
        PostThreadMessage(DWORD(MainThreadID), WM_NULL, 0, 0);
        Guard.lock();
        Cond.wait(Guard, [&] { return Released; });
        IsHeld = false;
        Released = false;
    }

    std::atomic<bool> Armed { false };
    std::mutex Lock;
    std::condition_variable Cond;
    bool IsHeld = false;
    bool Released = false;
};

struct TEnd {
    String Name;
    TXErrorData Error;
    TThreadID Thread = 0;
};

class TWorkRig : public TObject {
public:
    TManualClock Clock;
    TOwnedPtr<XCore::Engine::TXEngine> Engine { New<XCore::Engine::TXEngine>() };
    TOwnedPtr<TXDRFileCollection> Files { New<TXDRFileCollection>(static_cast<TPersistent*>(nullptr)) };
    TOwnedPtr<TXDRWorkerGear> Gear;
    std::vector<TEnd> Ends;
    std::vector<TXDRFileItem*> Added;
    std::vector<Integer> Ticks;
    bool AddedOutsideFiles = false;

    explicit TWorkRig(std::initializer_list<const char16_t*> Extensions = { u".jpg", u".mp4", u".mov" })
    {
        Gear.reset(New<TXDRWorkerGear>(IPtr<IInterface>(static_cast<IXEngine*>(Engine.get())), u"Worker"));
        Engine->Broadcast(NewNotification(New<TXAssembleAspect>()).Get());
        Gear->Data()->FoundFiles = Files.get();
        for (const char16_t* E : Extensions)
            Gear->Data()->Extensions()->Add(E);
        Gear->Subscribe(TXOperationThreadTerminatedAspect::StaticClass(),
            TXNotificationHandler::Of<&TWorkRig::Ended>(this));
        Gear->Subscribe(TXDRAddFileAspect::StaticClass(), TXNotificationHandler::Of<&TWorkRig::FileAdded>(this));
        Gear->Subscribe(TXTimeElapsedTicks::StaticClass(), TXNotificationHandler::Of<&TWorkRig::TicksSeen>(this));
    }
    ~TWorkRig() override
    {
        Gear.reset();
        Pump();
        Engine.reset();
    }

    void Post(TXDRWorkCommand* Command)
    {
        IPtr<IXCommand> Held(Command);
        Gear->PostGearMessage(Held.Get());
        Pump();
    }
    // Delivers what is waiting, without waiting.
    void Pump()
    {
        MSG Msg;
        while (PeekMessage(&Msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&Msg);
        CheckSynchronize();
    }
    // Runs the main loop until Done answers true.
    template<class F>
    void PumpUntil(F&& Done)
    {
        MSG Msg;
        while (!Done()) {
            GetMessage(&Msg, nullptr, 0, 0);
            DispatchMessage(&Msg);
        }
        Pump();
    }
    void WaitForEnds(size_t Count)
    {
        PumpUntil([&] { return Ends.size() >= Count; });
    }
    TEnd Run(TXDRWorkCommand* Command)
    {
        const size_t Before = Ends.size();
        Post(Command);
        WaitForEnds(Before + 1);
        return Ends.back();
    }
    void Cancel() { Gear->CancelWork(); }

    TXDRFileItem* Named(const String& Name) const
    {
        for (Integer I = 0; I < Files->Count(); ++I)
            if (Files->Items(I)->Name == Name)
                return Files->Items(I);
        return nullptr;
    }
    std::vector<String> Names() const
    {
        std::vector<String> Out;
        for (Integer I = 0; I < Files->Count(); ++I)
            Out.push_back(Files->Items(I)->Name);
        return Out;
    }

private:
    void Ended(IXNotification* N)
    {
        auto* A = static_cast<TXOperationThreadTerminatedAspect*>(N->GetAspect());
        Ends.push_back({ A->Name, A->ErrorData, GetCurrentThreadId() });
    }
    void FileAdded(IXNotification* N)
    {
        TXDRFileItem* Item = static_cast<TXDRAddFileAspect*>(N->GetAspect())->Item;
        TMonitorLock Lock(Files.get());
        bool Inside = false;
        for (Integer I = 0; I < Files->Count() && !Inside; ++I)
            Inside = Files->Items(I) == Item;
        AddedOutsideFiles = AddedOutsideFiles || !Inside;
        Added.push_back(Item);
    }
    void TicksSeen(IXNotification* N) { Ticks.push_back(static_cast<TXTimeElapsedTicks*>(N->GetAspect())->Ticks); }
};

}
