// Activation factories of runtime classes (Windows::Foundation).
#pragma once

#include "platform/runtime.h"

namespace Windows::Foundation {

// Creates instances of one runtime class with its parameterless constructor.
class IActivationFactory : public virtual Platform::Object {
 public:
  virtual Platform::ObjectRef ActivateInstance() = 0;
};

enum class TrustLevel : std::int32_t { BaseTrust = 0, PartialTrust = 1, FullTrust = 2 };

}  // namespace Windows::Foundation
