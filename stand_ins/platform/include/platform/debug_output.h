// OutputDebugStringW, the Win32 way for a program to say something to
// whoever watches it. The stand-in records the text as a trace line:
// {"event":"debug.output","text":"..."} (UTF-8).
#pragma once

using LPCWSTR = const char16_t*;

void OutputDebugStringW(LPCWSTR text);
