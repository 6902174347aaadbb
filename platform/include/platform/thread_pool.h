// Background work items (Windows::System::Threading).
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation.h"

namespace Windows::System::Threading {

using WorkItemHandler = std::function<void(std::shared_ptr<Windows::Foundation::IAsyncAction>)>;

class ThreadPool {
 public:
  // Runs the work item on a pool thread (never the caller's), inside the
  // delegate boundary; the returned action may be dropped at once.
  static std::shared_ptr<Windows::Foundation::IAsyncAction> RunAsync(WorkItemHandler handler);
};

}  // namespace Windows::System::Threading
