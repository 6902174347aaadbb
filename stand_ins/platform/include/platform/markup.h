// Markup connection interfaces (Windows::UI::Xaml::Markup): how loaded
// markup hands its named elements to the component that loaded it.
#pragma once

#include <memory>

#include "platform/runtime.h"

namespace Windows::UI::Xaml::Markup {

class IComponentConnector : public virtual Platform::Object {
 public:
  // Called once for every element carrying x:ConnectionId="connectionId".
  virtual void Connect(int connectionId, Platform::ObjectRef target) = 0;
};

class IComponentConnector2 : public virtual Platform::Object {
 public:
  virtual std::shared_ptr<IComponentConnector> GetBindingConnector(int connectionId,
                                                                   Platform::ObjectRef target) = 0;
};

}  // namespace Windows::UI::Xaml::Markup
