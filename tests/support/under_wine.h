#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnwick::testing {

// Whether the Windows build runs under Wine, whose system libraries differ
// from Windows' in what they check (CNG imports any point as a key).
inline bool UnderWine()
{
#ifdef _WIN32
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

} // namespace tarnwick::testing
