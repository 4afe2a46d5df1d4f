// Small value types and bit routines shared by the whole framework.
#pragma once
#include "rtl/Comparers.h"
#include "rtl/TypInfo.h"
#include "core/XCore.Pair.h"
#include <functional>
#include <initializer_list>
#include <vector>

enum TXUnits { muPixels, muHiMetric, muHiEnglish, muMilimeters, muCenimeters, muInches, muTwips, muPoints, muScreen };
X_ENUM_INFO(TXUnits, muPixels, muHiMetric, muHiEnglish, muMilimeters, muCenimeters, muInches, muTwips, muPoints, muScreen)

// What a click on a spot does. 0 to 21 are the window layer's hit-test
// codes (HTNOWHERE to HTHELP); the rest are the framework's own actions.
// Gears route hits as commands and hit items carry them, so the kinds live
// here, below both. Nothing handles xhtReserved.
enum TXHitType : Byte {
    xhtNone,
    xhtClient,
    xhtCaption,
    xhtSysMenu,
    xhtSize,
    xhtMenu,
    xhtHScroll,
    xhtVScroll,
    xhtMin,
    xhtMax,
    xhtLeft,
    xhtRight,
    xhtTop,
    xhtTopLeft,
    xhtTopRight,
    xhtBottom,
    xhtBottomLeft,
    xhtBottomRight,
    xhtBorder,
    xhtObject,
    xhtClose,
    xhtHelp,
    xhtRoll,
    xhtTray,
    xhtExe,
    xhtMail,
    xhtWeb,
    xhtDownload,
    xhtCgiDownload,
    xhtReserved,
    xhtCustom
};
X_ENUM_INFO(TXHitType, xhtNone, xhtClient, xhtCaption, xhtSysMenu, xhtSize, xhtMenu, xhtHScroll, xhtVScroll, xhtMin,
    xhtMax, xhtLeft, xhtRight, xhtTop, xhtTopLeft, xhtTopRight, xhtBottom, xhtBottomLeft, xhtBottomRight, xhtBorder,
    xhtObject, xhtClose, xhtHelp, xhtRoll, xhtTray, xhtExe, xhtMail, xhtWeb, xhtDownload, xhtCgiDownload, xhtReserved,
    xhtCustom)
inline constexpr Integer xhtCount = Integer(xhtCustom) + 1;

// Byte arrays and lists of them (the byte patterns of a search).
using TXByteArray = std::vector<Byte>;
using TXByteArrays = std::vector<TXByteArray>;

void CopyBytes(const TXByteArray& Source, TXByteArray& Dest);
void BytesFromBuffer(std::initializer_list<Byte> Bytes, TXByteArray& Dest);
void BytesFromBuffer(const void* Buffer, std::size_t Count, TXByteArray& Dest);
// Appends a new array holding Bytes.
void AppendBytes(std::initializer_list<Byte> Bytes, TXByteArrays& List);
void AppendBytes(const void* Buffer, std::size_t Count, TXByteArrays& List);

// Window or object handles.
using TXHandleArray = std::vector<NativeUInt>;

// A method of an object (Data is the object) or, with Data null, a plain
// procedure. Make one with Method<&TClass::Proc>(Obj) or Plain(&Proc); the
// code pointer identifies the routine, so two values for one routine and
// one object compare equal.
struct TXAnyProcedure {
    using TPlain = void (*)();
    using TBound = void (*)(void* Data);

    void (*Code)() = nullptr;
    void* Data = nullptr;

    static TXAnyProcedure Plain(TPlain Proc) { return { Proc, nullptr }; }
    template<auto Proc, class T>
    static TXAnyProcedure Method(T* Obj)
    {
        TBound Thunk = [](void* Self) { (static_cast<T*>(Self)->*Proc)(); };
        return { reinterpret_cast<TPlain>(Thunk), Obj };
    }
    bool IsEmpty() const { return Code == nullptr; }
    void Invoke() const;

    friend bool operator==(const TXAnyProcedure&, const TXAnyProcedure&) = default;
};

// A method that takes the sending object (an object's, or with Data null
// a plain procedure's); equal when code and data are.
struct TXNotifyMethod {
    using TThunk = void (*)(void* Data, TObject* Sender);

    TThunk Code = nullptr;
    void* Data = nullptr;

    template<auto Method, class T>
    static TXNotifyMethod Of(T* Obj)
    {
        TThunk Thunk = [](void* Self, TObject* Sender) { (static_cast<T*>(Self)->*Method)(Sender); };
        return { Thunk, Obj };
    }
    explicit operator bool() const { return Code != nullptr; }
    void operator()(TObject* Sender) const { Code(Data, Sender); }
    friend bool operator==(const TXNotifyMethod&, const TXNotifyMethod&) = default;
};

// Orders by code pointer, then by data pointer.
class TXAnyProcedureComparer : public TComparer<TXAnyProcedure> {
public:
    Integer Compare(const TXAnyProcedure& Left, const TXAnyProcedure& Right) override;
};

// A method of an object (Data) or a plain procedure that takes a T and
// answers a T; the path-macro expanders are of this type. Equal when code
// and data are equal, so one method of one object is listed once.
template<class T>
struct TXConstMonadicFunction {
    using TThunk = T (*)(void* Data, const T& Value);

    TThunk Code = nullptr;
    void* Data = nullptr;

    template<auto Method, class C>
    static TXConstMonadicFunction Of(C* Obj)
    {
        TThunk Thunk = [](void* Self, const T& Value) -> T { return (static_cast<C*>(Self)->*Method)(Value); };
        return { Thunk, Obj };
    }
    static TXConstMonadicFunction Plain(TThunk Proc, void* Data = nullptr) { return { Proc, Data }; }
    T operator()(const T& Value) const { return Code(Data, Value); }

    friend bool operator==(const TXConstMonadicFunction&, const TXConstMonadicFunction&) = default;
    friend bool operator<(const TXConstMonadicFunction& A, const TXConstMonadicFunction& B)
    {
        auto Key = [](const TXConstMonadicFunction& F) {
            return std::pair(reinterpret_cast<NativeUInt>(F.Code), reinterpret_cast<NativeUInt>(F.Data));
        };
        return Key(A) < Key(B);
    }
};

// Nesting counter of changes. Valid when default-initialised; idle while
// no update is open.
struct TXUpdateCount {
    Integer Count = 0;
    IPtr<IInterface> Sentinel;

    void BeginUpdate();
    void EndUpdate();
    bool IsIdle() const { return !Sentinel; }
};

// The object every open TXUpdateCount points at: counts nothing and
// answers no interface.
IInterface* XUpdateSentinel();

// Bit routines: bit numbers outside the value (negative, or 32/64 and
// more) change and find nothing.
Cardinal SetBit(Cardinal Value, Integer Bit, bool State);
Cardinal SetBits(Cardinal Value, std::initializer_list<Integer> Bits, bool State);
bool IsBitSet(Cardinal Value, Integer Bit);
UInt64 SetBit64(UInt64 Value, Integer Bit, bool State);

// DPI * Value / 2540 rounded half to even; Value itself when DPI is 0.
// Results beyond 32 bits are clamped.
Integer HiMetricToPixels(Word DPI, Integer Value);
