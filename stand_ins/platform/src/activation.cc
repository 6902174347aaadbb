#include "platform/activation.h"

#include "window_internal.h"

namespace Windows::Storage {

Platform::String StorageFile::Name() const {
  const auto slash = path_.find_last_of(u"\\/");
  return slash == Platform::String::npos ? path_ : path_.substr(slash + 1);
}

}  // namespace Windows::Storage

namespace Windows::ApplicationModel::Activation {

Windows::Foundation::Rect SplashScreen::ImageLocation() const {
  const auto bounds = Platform::Internal::MainWindow()->Bounds();
  return {(bounds.Width - ImageWidth) / 2, (bounds.Height - ImageHeight) / 2, ImageWidth,
          ImageHeight};
}

}  // namespace Windows::ApplicationModel::Activation
