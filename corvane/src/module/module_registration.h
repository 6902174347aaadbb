// The module's registration table: the host's activatable runtime classes and
// how to make their activation factories.
#pragma once

#include <memory>
#include <typeindex>

#include "platform/runtime.h"

namespace Corvane {

// Identifies an interface in a request for one ("which interface do you want
// from the new factory").
using InterfaceId = std::type_index;

// Holds a factory once it has been made; touched only under the module's lock.
struct FactoryCacheSlot {
  Platform::ObjectRef factory;
};

struct RegistrationEntry {
  // The activatable class id the entry serves.
  const char16_t* (*activatableClassId)();
  // Makes a new factory and returns its `requested` interface in `factory`;
  // E_NOINTERFACE (and no object) when the factory has no such interface.
  HRESULT (*createFactory)(InterfaceId requested, Platform::ObjectRef* factory);
  FactoryCacheSlot* cache;
  // Server the entry belongs to; null: none set (matches every teardown).
  const char16_t* serverName;
};

inline constexpr int RegistrationEntryCount = 2;

// Entry 1 "Corvane.MainPage", entry 2
// "Corvane.Corvane_XamlTypeInfo.XamlMetaDataProvider".
extern const RegistrationEntry RegistrationTable[RegistrationEntryCount];

}  // namespace Corvane
