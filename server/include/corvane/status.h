// Call status codes shared by the COM server and the native dispatcher. They carry the
// values of the platform's HRESULTs so that both report a failure with the same number.
#pragma once

#include <cstdint>

namespace corvane::server {

using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kNotImplemented = static_cast<Status>(0x80004001u);  // E_NOTIMPL
inline constexpr Status kInvalidPointer = static_cast<Status>(0x80004003u);  // E_POINTER
inline constexpr Status kUnexpected = static_cast<Status>(0x8000FFFFu);      // E_UNEXPECTED
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000Eu);     // E_OUTOFMEMORY
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057u);      // E_INVALIDARG
inline constexpr Status kUnknownInterface =
    static_cast<Status>(0x80020001u);  // DISP_E_UNKNOWNINTERFACE
inline constexpr Status kMemberNotFound =
    static_cast<Status>(0x80020003u);                                       // DISP_E_MEMBERNOTFOUND
inline constexpr Status kParamNotFound = static_cast<Status>(0x80020004u);  // DISP_E_PARAMNOTFOUND
inline constexpr Status kTypeMismatch = static_cast<Status>(0x80020005u);   // DISP_E_TYPEMISMATCH
inline constexpr Status kUnknownName = static_cast<Status>(0x80020006u);    // DISP_E_UNKNOWNNAME
inline constexpr Status kNoNamedArgs = static_cast<Status>(0x80020007u);    // DISP_E_NONAMEDARGS
inline constexpr Status kException = static_cast<Status>(0x80020009u);      // DISP_E_EXCEPTION
inline constexpr Status kOverflow = static_cast<Status>(0x8002000Au);       // DISP_E_OVERFLOW
inline constexpr Status kBadParamCount = static_cast<Status>(0x8002000Eu);  // DISP_E_BADPARAMCOUNT
inline constexpr Status kParamNotOptional =
    static_cast<Status>(0x8002000Fu);  // DISP_E_PARAMNOTOPTIONAL

// The failure status of runtime error `number`: severity failure, facility 0x0A.
inline constexpr Status RuntimeErrorStatus(int32_t number) {
  return static_cast<Status>(0x800A0000u | (static_cast<uint32_t>(number) & 0xFFFFu));
}

}  // namespace corvane::server
