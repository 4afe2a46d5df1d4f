#include "graphics/XSpark.VCL.Composer.h"
#include "core/XCore.ScreenMetrics.h"
#include "win/Metrics.h"
#include <algorithm>

X_REGISTER_CLASS(TXComposer)
X_REGISTER_CLASS(TXComposableControl)

void TXComposer::Create(TComponent* AOwner)
{
    inherited::Create(AOwner);
    FContainer = dynamic_cast<TWinControl*>(AOwner);
    FControls = MakeOwned<TComponentList>();
}

TXComposer::~TXComposer() = default;

bool TXComposer::BeginCompose(TWinControl* Container, TPoint Point, Integer Scaled)
{
    FControls->Clear();
    FOrigin = Point;
    FCursor = Point;
    FMaxX = 0;
    FContainer = Container;
    FScaled = Scaled == 1;
    return FScaled;
}

IXComposer* TXComposer::BeginCompose()
{
    FControls->Clear();
    FCursor = FOrigin;
    return this;
}

IXComposer* TXComposer::SetStyle(const String& Name)
{
    FSkinName = Name;
    return this;
}

IXComposer* TXComposer::Add(IXComposableControlFactory* Factory)
{
    // A missing factory composes nothing.
    if (!Factory)
        return this;
    TControl* Control = Factory->Compose(this, FSkinName, FCursor);
    if (Control)
        FControls->Add(Control);
    FMaxX = std::max(FMaxX, FCursor.X);
    return this;
}

IXComposer* TXComposer::NewLineBy(Integer Offset)
{
    FCursor.X = FOrigin.X;
    FCursor.Y += Offset;
    return this;
}

IXComposer* TXComposer::NewLine()
{
    return NewLineBy(MulDiv(15, ScreenDPIY, DefaultScreenDPI));
}

IXComposer* TXComposer::NewLineTiny()
{
    return NewLineBy(ScaledSizes[1]);
}

IXComposer* TXComposer::NewLineSmall()
{
    return NewLineBy(ScaledSizes[5]);
}

IXComposer* TXComposer::NewLineMedium()
{
    return NewLineBy(ScaledSizes[8]);
}

IXComposer* TXComposer::NewLineLarge()
{
    return NewLineBy(ScaledSizes[20]);
}

IXComposer* TXComposer::EndCompose()
{
    Integer Sum = 0;
    TControl* Control = FContainer;
    while (Control && Control->Align() == alClient) {
        Sum += Control->Top();
        Control = Control->Parent();
    }
    if (Control)
        Control->SetClientHeight(Sum + FCursor.Y);
    return this;
}

void TXComposableControl::Create()
{
    CreateManaged(1);
}

TControl* TXComposableControl::Compose(IXComposer* Composer, const String& SkinName, TPoint& Cursor)
{
    TWinControl* Container = Composer ? Composer->GetContainer() : nullptr;
    return Container ? CreateControl(Composer, Container, Cursor, SkinName) : nullptr;
}
