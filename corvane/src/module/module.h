// The module object: one per process, it counts the host's live runtime
// objects and holds the registration table of the host's runtime classes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "module/module_registration.h"

namespace Corvane {

class Module {
 public:
  // Creates the process's module object unless one exists (concurrent callers
  // all get the same one) and returns it.
  static std::shared_ptr<Module> Create();
  // The module object, or null before Create and after Destroy.
  static std::shared_ptr<Module> Current();

  // Tears the module down (Terminate) and drops it; the answer is whether the
  // live-object count was zero (true when there was no module).
  static bool Destroy();

  std::uint32_t IncrementObjectCount() noexcept;
  std::uint32_t DecrementObjectCount() noexcept;
  std::uint32_t GetObjectCount() const noexcept;

  // The registration table: [First, Middle) are runtime classes; classic
  // class objects would follow from Middle to Last (the host has none).
  const RegistrationEntry* GetFirstEntry() const noexcept;
  const RegistrationEntry* GetMiddleEntry() const noexcept;
  const RegistrationEntry* GetLastEntry() const noexcept;

  // Guards the cache slots of the registration table.
  std::mutex& GetLock() noexcept { return lock; }

  // Registration for activation from outside the process is not supported:
  // each answers E_NOTIMPL.
  HRESULT RegisterClassObjects(const char16_t* serverName);
  HRESULT UnregisterClassObjects(const char16_t* serverName);
  HRESULT RegisterRuntimeClassFactories(const char16_t* serverName);
  HRESULT UnregisterRuntimeClassFactories(const char16_t* serverName);

  // Releases the cached factories of the entries of `serverName` (null: of
  // every entry) and answers whether no host object is alive any more.
  bool Terminate(const char16_t* serverName = nullptr);

 private:
  struct CreationKey {};

 public:
  explicit Module(CreationKey) {}

 private:
  std::atomic<std::uint32_t> objectCount{0};
  std::mutex lock;
};

// Held by every runtime object of the host (as a member): counts the object
// in the module's live-object count while the module that counted it exists.
class ModuleObjectCount {
 public:
  ModuleObjectCount() noexcept;
  // A copy is another object, so it counts itself too.
  ModuleObjectCount(const ModuleObjectCount&) noexcept : ModuleObjectCount() {}
  ModuleObjectCount& operator=(const ModuleObjectCount&) noexcept { return *this; }
  ~ModuleObjectCount();

 private:
  std::weak_ptr<Module> countedIn;
};

}  // namespace Corvane
