// Basic scalar and text types shared by every layer.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

using Char = char16_t;
using String = std::u16string; // UTF-16; positions given 1-based by the routines that say so
using StringView = std::u16string_view;
using Byte = std::uint8_t;
using Word = std::uint16_t;
using Cardinal = std::uint32_t;
using Integer = std::int32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using NativeInt = std::intptr_t;
using NativeUInt = std::uintptr_t;
using RawBytes = std::string; // raw bytes, no code page implied
using UTF8String = std::string; // bytes in UTF-8
using TThreadID = Cardinal;
using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences become U+FFFD; lone surrogates
// are written as U+FFFD in UTF-8.
String UTF8ToString(std::string_view Utf8);
UTF8String StringToUTF8(StringView Text);
// Convenience for literals and C strings in ASCII/UTF-8.
inline String S(std::string_view Utf8)
{
    return UTF8ToString(Utf8);
}
// Thread id of the calling thread (the kernel's id, stable for the thread's life).
TThreadID GetCurrentThreadId();
// The program's main thread: the thread that ran unit initialisation.
extern TThreadID MainThreadID;
