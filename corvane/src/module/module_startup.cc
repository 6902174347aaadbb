#include "module/module_startup.h"

#include <atomic>

#include "module/module.h"
#include "platform/runtime_data.h"

namespace Corvane {
namespace {

std::atomic<int> startupMode{StartupModeNone};
// The value the runtime data was initialised with; released with the same.
std::atomic<int> runtimeDataValue{StartupModeExecutable};

// Mode 3 (designer) initialises the runtime with 0, anything else with 2;
// the mode then holds that value until the runtime data is released.
void AttachProcess() {
  const int value =
      startupMode.load() == StartupModeDesigner ? StartupModeNone : StartupModeExecutable;
  startupMode.store(value);
  runtimeDataValue.store(value);
  Platform::Details::InitializeData(value);
  Module::Create();
}

}  // namespace

int StartupMode() { return startupMode.load(); }

void SetDesignerStartupMode() { startupMode.store(StartupModeDesigner); }

void StartExecutable() { AttachProcess(); }

bool EndProcess() {
  const bool noObjectAlive = Module::Destroy();
  Platform::Details::UninitializeData(runtimeDataValue.load());
  return noObjectAlive;
}

bool LibraryEntry(void*, std::uint32_t reason, void*) {
  if (reason == ProcessAttachReason) AttachProcess();
  if (reason == ProcessDetachReason) EndProcess();
  return true;
}

}  // namespace Corvane

extern "C" bool VSDesignerDllMain(void* instance, std::uint32_t reason, void* reserved) noexcept {
  Corvane::SetDesignerStartupMode();
  try {
    return Corvane::LibraryEntry(instance, reason, reserved);
  } catch (...) {
    return false;  // an entry point that cannot start reports it, as a library entry does
  }
}
