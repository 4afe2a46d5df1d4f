// The exception classes of the runtime. Messages are UTF-16 texts;
// what() gives them in UTF-8 for diagnostics.
#pragma once
#include "rtl/Types.h"
#include <exception>

class Exception : public std::exception {
public:
    explicit Exception(String Message = {});
    const String& Message() const { return FMessage; }
    void SetMessage(String Message);
    const char* what() const noexcept override { return FUtf8.c_str(); }
    virtual const char16_t* ClassName() const { return u"Exception"; }

private:
    String FMessage;
    std::string FUtf8;
};

#define X_EXCEPTION(Name, Base)                                                                                        \
    class Name : public Base {                                                                                         \
    public:                                                                                                            \
        using Base::Base;                                                                                              \
        const char16_t* ClassName() const override { return u## #Name; }                                               \
    };

X_EXCEPTION(EAbort, Exception)
X_EXCEPTION(EConvertError, Exception)
X_EXCEPTION(EListError, Exception)
X_EXCEPTION(EArgumentException, Exception)
X_EXCEPTION(EArgumentOutOfRangeException, EArgumentException)
X_EXCEPTION(EOutOfMemory, Exception)
// A resource of the system (a picture handle, a stream the control reads) ran out or failed.
X_EXCEPTION(EOutOfResources, EOutOfMemory)
X_EXCEPTION(EInvalidCast, Exception)
X_EXCEPTION(EInvalidOperation, Exception)
X_EXCEPTION(EInvalidPointer, Exception)
X_EXCEPTION(ENotImplemented, Exception)
X_EXCEPTION(EComponentError, Exception)
X_EXCEPTION(EClassNotFound, Exception)
X_EXCEPTION(EStringListError, Exception)
X_EXCEPTION(EStreamError, Exception)
// Carries the errno of a refused open, which callers record as a sub-code.
class EFileStreamError : public EStreamError {
public:
    using EStreamError::EStreamError;
    const char16_t* ClassName() const override { return u"EFileStreamError"; }
    int ErrorCode = 0;
};
X_EXCEPTION(EFCreateError, EFileStreamError)
X_EXCEPTION(EFOpenError, EFileStreamError)
X_EXCEPTION(EReadError, EStreamError)
X_EXCEPTION(EWriteError, EStreamError)
X_EXCEPTION(EOSError, Exception)

// The class library's messages that callers and tests compare against.
namespace RtlText {
inline constexpr const char16_t* ArgumentOutOfRange = u"Argument out of range";
inline constexpr const char16_t* ListIndexError = u"List index out of bounds (%d)";
inline constexpr const char16_t* ListCapacityError = u"List capacity out of bounds (%d)";
inline constexpr const char16_t* ListCountError = u"List count out of bounds (%d)";
inline constexpr const char16_t* DuplicateString = u"String list does not allow duplicates";
inline constexpr const char16_t* SortedListError = u"Operation not allowed on sorted list";
inline constexpr const char16_t* AssignError = u"Cannot assign a %s to a %s";
inline constexpr const char16_t* DuplicateName = u"A component named %s already exists";
inline constexpr const char16_t* InvalidName = u"''%s'' is not a valid component name";
inline constexpr const char16_t* OutOfMemory = u"Out of memory";
inline constexpr const char16_t* InvalidFormat = u"Format '%s' invalid or incompatible with argument";
inline constexpr const char16_t* ReadError = u"Stream read error";
inline constexpr const char16_t* WriteError = u"Stream write error";
inline constexpr const char16_t* FCreateError = u"Cannot create file \"%s\". %s";
inline constexpr const char16_t* FOpenError = u"Cannot open file \"%s\". %s";
inline constexpr const char16_t* ClassNotFound = u"Class %s not found";
}
