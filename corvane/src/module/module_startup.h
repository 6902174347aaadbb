// Start-up and shutdown of the host's process-wide state: the language
// runtime's data and the module object, started either as the executable or
// as a library loaded by a design-time host (VSDesignerDllMain).
#pragma once

#include <cstdint>

namespace Corvane {

// Values of the start-up mode.
inline constexpr int StartupModeNone = 0;        // at load, and after a designer start
inline constexpr int StartupModeExecutable = 2;  // after a normal start
inline constexpr int StartupModeDesigner = 3;    // set by VSDesignerDllMain

// Reasons handed to the library entry point.
inline constexpr std::uint32_t ProcessDetachReason = 0;
inline constexpr std::uint32_t ProcessAttachReason = 1;
inline constexpr std::uint32_t ThreadAttachReason = 2;
inline constexpr std::uint32_t ThreadDetachReason = 3;

int StartupMode();
void SetDesignerStartupMode();

// The process entry of the executable, before its main function: mode 2,
// runtime data initialised with 2, module object created.
void StartExecutable();
// At exit: module teardown, then the runtime data released with the same
// value. Answers whether no host object was alive.
bool EndProcess();

// StartExecutable for the lifetime of the guard, EndProcess when it ends: the
// program's main function holds one, so every way out of it ends the process
// state.
class ExecutableProcess {
 public:
  ExecutableProcess() { StartExecutable(); }
  ~ExecutableProcess() { EndProcess(); }
  ExecutableProcess(const ExecutableProcess&) = delete;
  ExecutableProcess& operator=(const ExecutableProcess&) = delete;
};

// The ordinary library entry point: attach starts the process state with the
// value the start-up mode selects, detach ends it.
bool LibraryEntry(void* instance, std::uint32_t reason, void* reserved);

}  // namespace Corvane

// Entry point for a design-time host: designer mode, then the library entry.
// Called from C: answers false instead of raising when the start fails.
extern "C" bool VSDesignerDllMain(void* instance, std::uint32_t reason, void* reserved) noexcept;
