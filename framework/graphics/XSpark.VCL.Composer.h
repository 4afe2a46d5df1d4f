// The composer: places controls made by factories along lines inside a
// container and sizes the container to what it composed. It owns the
// controls it composed until the next begin or its own end; a control
// freed elsewhere (with its container) leaves its list.
//
//     auto* Composer = New<TXComposer>(Form);
//     Composer->BeginCompose(Panel, { 10, 10 }, 1);
//     Composer->Add(Label.Get())->NewLine()->Add(Link.Get())->EndCompose();
#pragma once
#include "core/XCore.Classes.h"
#include "graphics/XSpark.Composer.h"
#include "rtl/Lists.h"

class TXComposer : public TComponent, public IXComposer {
    X_CLASS(TXComposer, TComponent)
    X_INTERFACES(TXComposer, IXComposer)
    X_NOT_COUNTED
public:
    // An owner that is a windowed control is the container.
    void Create(TComponent* AOwner) override;
    ~TXComposer() override;

    // Starts at Point of Container; Scaled 1 has composable controls place
    // themselves by offsets at the screen's DPI. Answers whether it is.
    bool BeginCompose(TWinControl* Container, TPoint Point, Integer Scaled);

    // IXComposer
    IXComposer* BeginCompose() override;
    IXComposer* SetStyle(const String& Name) override;
    IXComposer* Add(IXComposableControlFactory* Factory) override;
    IXComposer* NewLine() override;
    IXComposer* NewLineBy(Integer Offset) override;
    IXComposer* NewLineTiny() override;
    IXComposer* NewLineSmall() override;
    IXComposer* NewLineMedium() override;
    IXComposer* NewLineLarge() override;
    IXComposer* EndCompose() override;
    TWinControl* GetContainer() override { return FContainer; }
    bool GetScaled() override { return FScaled; }
    Integer GetMaxX() override { return FMaxX; }

    TPoint Cursor() const { return FCursor; }
    // The controls composed since the begin.
    TComponentList* ComposedControls() const { return FControls.get(); }

private:
    TWinControl* FContainer = nullptr;
    String FSkinName;
    TOwnedPtr<TComponentList> FControls;
    TPoint FOrigin;
    TPoint FCursor;
    Integer FMaxX = 0;
    bool FScaled = false;
};

// A factory of composed controls, counted: CreateControl runs only when
// the composer has a container.
class TXComposableControl : public TXManagedObject, public IXComposableControlFactory {
    X_CLASS(TXComposableControl, TXManagedObject)
    X_INTERFACES(TXComposableControl, IXComposableControlFactory)
    X_FORWARD_IINTERFACE(TXManagedObject)
public:
    void Create() override;
    TControl* Compose(IXComposer* Composer, const String& SkinName, TPoint& Cursor) override;

protected:
    virtual TControl* CreateControl(IXComposer* Composer, TWinControl* Container, TPoint& Cursor,
        const String& SkinName)
    {
        return nullptr;
    }
};
