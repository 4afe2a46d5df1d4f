// The composer's interfaces: a composer lays small controls out left to
// right on lines that advance downwards inside a container, as a paragraph
// of text made of controls; factories make the controls it places.
//
//     Composer->BeginCompose()->SetStyle(u"Windows")->Add(Label)->Add(Link)->NewLine()->EndCompose();
#pragma once
#include "rtl/Interfaces.h"
#include "vcl/Controls.h"

struct IXComposer;

// Makes one control for a composer at Cursor (the container's client
// coordinates) and moves Cursor past it; answers the control, or null.
struct IXComposableControlFactory : IInterface {
    X_GUID("{AEC59C4B-3DB2-45F4-8A61-2A3B07BF848B}")
    virtual TControl* Compose(IXComposer* Composer, const String& SkinName, TPoint& Cursor) = 0;
};

// Every call but the last three answers the composer itself, so calls chain.
struct IXComposer : IInterface {
    X_GUID("{7BC4B6F6-1B09-4756-AB0E-82D12861BE11}")
    // Frees the controls composed so far; the cursor goes back to the origin.
    virtual IXComposer* BeginCompose() = 0;
    // The skin name the following controls take.
    virtual IXComposer* SetStyle(const String& Name) = 0;
    virtual IXComposer* Add(IXComposableControlFactory* Factory) = 0;
    // Back to the origin's X, down by 15 pixels at the screen's DPI.
    virtual IXComposer* NewLine() = 0;
    virtual IXComposer* NewLineBy(Integer Offset) = 0;
    // Down by 1, 5, 8 and 20 pixels at the screen's DPI.
    virtual IXComposer* NewLineTiny() = 0;
    virtual IXComposer* NewLineSmall() = 0;
    virtual IXComposer* NewLineMedium() = 0;
    virtual IXComposer* NewLineLarge() = 0;
    // Sizes the first control that is not client-aligned, from the
    // container up, to the cursor's Y plus the tops of the client-aligned
    // ones on the way.
    virtual IXComposer* EndCompose() = 0;
    virtual TWinControl* GetContainer() = 0;
    virtual bool GetScaled() = 0;
    // The widest cursor X reached since the begin.
    virtual Integer GetMaxX() = 0;
};

// A frame that composes its own content.
struct IXComposable : IInterface {
    X_GUID("{42DB35DD-D210-49F6-A835-16DC09F44023}")
    virtual void Compose() = 0;
};
