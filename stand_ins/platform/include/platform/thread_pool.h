// Background work items (Windows::System::Threading).
#pragma once

#include <functional>
#include <memory>

#include "platform/foundation.h"

namespace Windows::System::Threading {

using WorkItemHandler = std::function<void(std::shared_ptr<Windows::Foundation::IAsyncAction>)>;

class ThreadPool {
 public:
  // Queues the work item for one of the pool's worker threads (started with
  // the application, never the caller's thread), where it runs inside the
  // delegate boundary; the returned action may be dropped at once. Once the
  // application has ended, items not yet started never run (their action
  // stays Started) and no new item is taken.
  static std::shared_ptr<Windows::Foundation::IAsyncAction> RunAsync(WorkItemHandler handler);
};

}  // namespace Windows::System::Threading
