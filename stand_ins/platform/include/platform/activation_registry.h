// Activation of runtime classes by name.
#pragma once

#include <functional>
#include <memory>

#include "platform/activation_factory.h"
#include "platform/runtime.h"

namespace Platform {

// Registers (or replaces) the factory of a runtime class. Thread-safe.
void RegisterActivationFactory(const String& runtimeClassName,
                               std::shared_ptr<Windows::Foundation::IActivationFactory> factory);
// Registers a creation function as the class's factory.
void RegisterActivatableClass(const String& runtimeClassName, std::function<ObjectRef()> create);
void UnregisterActivationFactory(const String& runtimeClassName);

// Creates an instance with the class's parameterless constructor; a name
// without a factory raises ClassNotRegisteredException (REGDB_E_CLASSNOTREG).
ObjectRef ActivateInstance(const String& runtimeClassName);

}  // namespace Platform
