// The recovery program's engine: its gears, its action dispatch and the
// factory the program's data module calls.
//
//     TOwnedPtr<TXKXREngine> Engine(CreateKXREngine(Settings, Skin));
#pragma once
#include "sorvane/XDR.Gears.Work.h"
#include "sorvane/XDR.Ini.h"

class TXKXRDataGear : public TXDRDataGear {
    X_CLASS(TXKXRDataGear, TXDRDataGear)
};

// The wizard's view gear; the user interface is built on it later.
class TXKXRViewGear : public TXDRViewGear {
    X_CLASS(TXKXRViewGear, TXDRViewGear)
};

using TXKXREngineBase = TXDREngineOf<TXKXRDataGear, TXKXRViewGear, TXDRWorkerGear>;

class TXKXREngine : public TXKXREngineBase {
    X_CLASS(TXKXREngine, TXKXREngineBase)
public:
    // Hands the work command for Action, filled from the data gear, to
    // the worker gear at once.
    void DoAction(TXDRAction* Action) override;
};

// A new engine with its settings and skin stored and its gears
// assembled; the caller frees it.
TXKXREngine* CreateKXREngine(TXKXRIni* Settings, IPtr<IInterface> Skin);
