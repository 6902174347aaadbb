#include "platform/debug_output.h"

#include "platform/stand_in/trace.h"
#include "platform/strings.h"

void OutputDebugStringW(LPCWSTR text) {
  if (text == nullptr) return;
  Platform::Trace::Record("debug.output", {{"text", Platform::ToUtf8(text)}});
}
