// SPDX-License-Identifier: MIT
// Stands in for the Windows SDK's <windows.h> in the portability check: only
// what the Windows branches of the HID backend call.
#pragma once

typedef unsigned long DWORD;
#define ERROR_GEN_FAILURE 31L

inline DWORD kmStubLastError = 0;
inline void SetLastError(DWORD code)
{
    kmStubLastError = code;
}
inline DWORD GetLastError()
{
    return kmStubLastError;
}
