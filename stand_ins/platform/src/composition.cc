#include "platform/stand_in/composition.h"

#include <mutex>

namespace Platform {
namespace {

struct Installed {
  std::mutex mutex;
  std::shared_ptr<CompositionObserver> observer;
};

Installed& TheInstalled() {
  static Installed installed;
  return installed;
}

// The observer is called outside the lock, so it may take its time (and
// its own locks) without holding up another thread's notification.
std::shared_ptr<CompositionObserver> Current() {
  std::lock_guard<std::mutex> lock(TheInstalled().mutex);
  return TheInstalled().observer;
}

}  // namespace

void Composition::SetObserver(std::shared_ptr<CompositionObserver> observer) {
  std::shared_ptr<CompositionObserver> previous;
  std::lock_guard<std::mutex> lock(TheInstalled().mutex);
  previous.swap(TheInstalled().observer);
  TheInstalled().observer = std::move(observer);
}

bool Composition::Observed() { return Current() != nullptr; }

void Composition::NotifyLayoutUpdated() {
  if (auto observer = Current()) observer->LayoutUpdated();
}

void Composition::NotifyFramePresented(const Windows::UI::Xaml::Controls::SwapChainPanel& panel) {
  if (auto observer = Current()) observer->FramePresented(panel);
}

void Composition::NotifyApplicationEnding() {
  if (auto observer = Current()) observer->ApplicationEnding();
}

}  // namespace Platform
