#include "module/module.h"

#include <mutex>
#include <utility>

namespace Corvane {
namespace {

std::mutex creationLock;
std::shared_ptr<Module> processModule;  // read with std::atomic_load

bool ServerMatches(const char16_t* requested, const char16_t* entryServer) {
  if (requested == nullptr) return true;
  if (entryServer == nullptr) return false;
  return std::u16string_view(requested) == std::u16string_view(entryServer);
}

}  // namespace

std::shared_ptr<Module> Module::Create() {
  std::lock_guard<std::mutex> hold(creationLock);
  auto current = std::atomic_load(&processModule);
  if (!current) {
    current = std::make_shared<Module>(CreationKey{});
    std::atomic_store(&processModule, current);
  }
  return current;
}

std::shared_ptr<Module> Module::Current() { return std::atomic_load(&processModule); }

bool Module::Destroy() {
  std::lock_guard<std::mutex> hold(creationLock);
  auto current = std::atomic_exchange(&processModule, std::shared_ptr<Module>());
  return current ? current->Terminate() : true;
}

std::uint32_t Module::IncrementObjectCount() noexcept { return ++objectCount; }
std::uint32_t Module::DecrementObjectCount() noexcept { return --objectCount; }
std::uint32_t Module::GetObjectCount() const noexcept { return objectCount.load(); }

const RegistrationEntry* Module::GetFirstEntry() const noexcept { return RegistrationTable; }
const RegistrationEntry* Module::GetMiddleEntry() const noexcept {
  return RegistrationTable + RegistrationEntryCount;
}
const RegistrationEntry* Module::GetLastEntry() const noexcept {
  return RegistrationTable + RegistrationEntryCount;
}

HRESULT Module::RegisterClassObjects(const char16_t*) { return E_NOTIMPL; }
HRESULT Module::UnregisterClassObjects(const char16_t*) { return E_NOTIMPL; }
HRESULT Module::RegisterRuntimeClassFactories(const char16_t*) { return E_NOTIMPL; }
HRESULT Module::UnregisterRuntimeClassFactories(const char16_t*) { return E_NOTIMPL; }

bool Module::Terminate(const char16_t* serverName) {
  for (auto* entry = GetFirstEntry(); entry != GetLastEntry(); ++entry) {
    if (!ServerMatches(serverName, entry->serverName)) continue;
    Platform::ObjectRef cached;
    {
      std::lock_guard<std::mutex> hold(lock);
      cached = std::move(entry->cache->factory);
      entry->cache->factory.reset();
    }
    // Released outside the lock: the factory's destructor counts itself out.
    cached.reset();
  }
  return GetObjectCount() == 0;
}

ModuleObjectCount::ModuleObjectCount() noexcept {
  if (auto module = Module::Current()) {
    module->IncrementObjectCount();
    countedIn = module;
  }
}

ModuleObjectCount::~ModuleObjectCount() {
  if (auto module = countedIn.lock()) module->DecrementObjectCount();
}

}  // namespace Corvane
