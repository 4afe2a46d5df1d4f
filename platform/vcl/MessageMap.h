// Message methods by number, as the class library's "message" methods: a
// class registers, in its source, the methods that handle window messages
// of a number; Dispatch runs the one of the most derived class that has
// one, and a method reaches the one of its ancestors with
// X_INHERITED_MESSAGE (the object's DefaultHandler when no ancestor has
// one):
//
//     class TMyControl : public TCustomControl {
//         X_CLASS(TMyControl, TCustomControl)
//         X_DECLARE_MESSAGES(TMyControl)
//         void WMLButtonDown(TMessage& Message);
//     };
//
//     X_MESSAGES(TMyControl)
//     {
//         X_MESSAGE(WM_LBUTTONDOWN, WMLButtonDown);
//     }
//
//     void TMyControl::WMLButtonDown(TMessage& Message)
//     {
//         ...;
//         X_INHERITED_MESSAGE(Message);
//     }
#pragma once
#include "rtl/Object.h"
#include "win/Messages.h"

using TMessageThunk = void (*)(TObject* Self, TMessage& Message);

namespace XDetail {
void RegisterMessageMethod(TClass Class, UINT Msg, TMessageThunk Thunk);
struct TMessageRegistrar {
    TMessageRegistrar(void (*Register)()) { Register(); }
};
}

// The method for Msg of Class or its nearest ancestor that has one (Class
// itself first); null when none does.
TMessageThunk FindMessageMethod(TClass Class, UINT Msg);

// In the class body: lets the class's message block reach its methods.
#define X_DECLARE_MESSAGES(Self) friend struct XMessages_##Self;

// In the class's source, followed by the block of X_MESSAGE lines.
#define X_MESSAGES(Self)                                                                                               \
    struct XMessages_##Self {                                                                                          \
        using XSelf = Self;                                                                                            \
        static void Register();                                                                                        \
    };                                                                                                                 \
    static XDetail::TMessageRegistrar XMessageRegistrar_##Self(&XMessages_##Self::Register);                           \
    void XMessages_##Self::Register()

#define X_MESSAGE(Msg, Method)                                                                                         \
    XDetail::RegisterMessageMethod(XSelf::StaticClass(), (Msg),                                                        \
        [](TObject* Obj, TMessage& M) { static_cast<XSelf*>(Obj)->Method(M); })

// Inside a message method: the handler of the ancestors, or DefaultHandler.
#define X_INHERITED_MESSAGE(Message) DispatchFrom(inherited::StaticClass(), (Message))
