// Content in a window of its own: content frame classes register with one
// process-wide factory; a content float asks it for a frame that can show
// a content object, sizes its borderless form round the frame and shows
// it:
//
//     RegisterContentFrameClass<TMyAdFrame>();         // at unit start
//     Float->ShowContent(Ad);                         // first class that can
//
// CalcContentPlacement answers the shown size of content of a natural
// size under the host's placement.
#pragma once
#include "forms/XSpark.VCL.Forms.h"
#include "forms/XSpark.VCL.Frames.h"
#include "core/XSpark.Classes.h"

enum TXContentPosition { cpAutoSize, cpCenter, cpBestFit, cpStretch, cpFitWidth, cpFitHeight };
X_ENUM_INFO(TXContentPosition, cpAutoSize, cpCenter, cpBestFit, cpStretch, cpFitWidth, cpFitHeight)

class TXContentPlacement : public TXPersistent {
    X_CLASS(TXContentPlacement, TXPersistent)
public:
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool Value) { FAutoSize = Value; }
    TXContentPosition Position() const { return FPosition; }
    void SetPosition(TXContentPosition Value) { FPosition = Value; }
    Integer Width() const { return FWidth; }
    void SetWidth(Integer Value) { FWidth = Value; }
    Integer Height() const { return FHeight; }
    void SetHeight(Integer Value) { FHeight = Value; }

private:
    bool FAutoSize = false;
    TXContentPosition FPosition = cpAutoSize;
    Integer FWidth = 0;
    Integer FHeight = 0;
};

class TXContentForm;

// What shows content: the float, for the frames it makes.
struct IXContentHost : IInterface {
    X_GUID("{3F7A92C5-1E08-4D6B-A5C3-82B9E1D04F76}")
    virtual void ShowContent(IInterface* Content) = 0;
    virtual void HideContent(bool CloseForm) = 0;
    virtual IXObservable* GetObservable() = 0;
    virtual TXContentForm* GetContentForm() = 0;
    virtual TXContentPlacement* GetContentPlacement() = 0;
};

// A frame that shows one kind of content: opaque, it never erases its
// background, and passes mouse enter and leave on to its parent.
// Descendants give their class operations as statics of the same names:
//     static bool CanShow(IInterface* Content);
//     static TControl* CreateFrame(IInterface* Content, IXContentHost* Host, TSize& Size);
class TXContentFrame : public TXCustomFrame {
    X_CLASS(TXContentFrame, TXCustomFrame)
    X_DECLARE_MESSAGES(TXContentFrame)
public:
    void Create(TComponent* AOwner) override;
    static bool ContentKindFlag() { return true; }

protected:
    void WMEraseBkgnd(TMessage& Message);
    void CMMouseEnterLeave(TMessage& Message);
};

// The factory's entry for a frame class: the class and its operations.
struct TXContentFrameEntry {
    TClass FrameClass = nullptr;
    bool (*CanShow)(IInterface* Content) = nullptr;
    TControl* (*CreateFrame)(IInterface* Content, IXContentHost* Host, TSize& Size) = nullptr;
};

// Adds the class unless it is listed; answers its index.
Integer RegisterContentFrameClass(const TXContentFrameEntry& Entry);
template<class T>
Integer RegisterContentFrameClass()
{
    return RegisterContentFrameClass(TXContentFrameEntry { T::StaticClass(), &T::CanShow, &T::CreateFrame });
}
// The registered classes in order; the entry at Index raises
// EArgumentOutOfRangeException outside the list.
Integer ContentFrameClassCount();
const TXContentFrameEntry& ContentFrameClass(Integer Index);
// The first registered class that can show Content and makes a control
// for it; null when none does.
TControl* CreateContentFrame(IInterface* Content, IXContentHost* Host, TSize& Size);
// Size of content of size Natural under Host's placement; Box starts as
// the placement's box and may be changed by it.
void CalcContentPlacement(IXContentHost* Host, TSize Natural, TSize& Size, TSize& Box);

// The float's borderless form: a ring of the border colour and width.
class TXContentForm : public TXCustomForm {
    X_CLASS(TXContentForm, TXCustomForm)
    X_DECLARE_MESSAGES(TXContentForm)
public:
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor Value);
    Integer BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(Integer Value);

protected:
    void WMEraseBkgnd(TMessage& Message);

private:
    TColor FBorderColor = clBtnText;
    Integer FBorderWidth = 0;
};

class TXCustomContentFloat : public TXObservableComponent, public IXContentHost {
    X_CLASS(TXCustomContentFloat, TXObservableComponent)
    X_INTERFACES(TXCustomContentFloat, IXContentHost)
    X_NOT_COUNTED
public:
    void Create(TComponent* AOwner) override;
    void BeforeDestruction() override;

    TXContentPlacement* ContentPlacement() const { return FPlacement.get(); }
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TColor BorderColor() const { return FBorderColor; }
    void SetBorderColor(TColor Value);
    Integer BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(Integer Value);
    // Where the content control is centred; the descendants set it.
    TSize ContentArea() const { return FContentArea; }
    void SetContentArea(TSize Value) { FContentArea = Value; }
    TControl* ContentControl() const { return FContent; }

    void ShowContent(IInterface* Content) override;
    void HideContent(bool CloseForm) override;
    IXObservable* GetObservable() override { return this; }
    TXContentForm* GetContentForm() override { return FForm; }
    TXContentPlacement* GetContentPlacement() override { return FPlacement.get(); }

    virtual void ContentChanged() { }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TOwnedPtr<TXContentPlacement> FPlacement;
    TColor FColor = clBtnFace;
    TColor FBorderColor = clBtnText;
    Integer FBorderWidth = 0;
    TSize FContentArea {};
    TXContentForm* FForm = nullptr;
    TControl* FContent = nullptr;
};

class TXContentFloat : public TXCustomContentFloat {
    X_CLASS(TXContentFloat, TXCustomContentFloat)
};
