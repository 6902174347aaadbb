// Activation arguments (Windows::ApplicationModel::Activation) and the
// storage items a file activation carries (Windows::Storage).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/foundation.h"

namespace Windows::Storage {

class IStorageItem : public virtual Platform::Object {
 public:
  virtual Platform::String Path() const = 0;
  virtual Platform::String Name() const = 0;
};

class StorageFile : public IStorageItem {
 public:
  explicit StorageFile(Platform::String path) : path_(std::move(path)) {}
  Platform::String Path() const override { return path_; }
  // The last path component (after the last '\' or '/').
  Platform::String Name() const override;
  Platform::String GetRuntimeClassName() const override { return u"Windows.Storage.StorageFile"; }

 private:
  Platform::String path_;
};

}  // namespace Windows::Storage

namespace Windows::ApplicationModel::Activation {

enum class ActivationKind : std::int32_t {
  Launch = 0,
  Search = 1,
  ShareTarget = 2,
  File = 3,
  Protocol = 4,
  FileOpenPicker = 5,
  FileSavePicker = 6,
  CachedFileUpdater = 7,
  ContactPicker = 8,
  Device = 9,
};

enum class ApplicationExecutionState : std::int32_t {
  NotRunning = 0,
  Running = 1,
  Suspended = 2,
  Terminated = 3,
  ClosedByUser = 4
};

// The system splash screen shown for an activation. ImageLocation is where
// the splash image stands in the window: a 620x300 image centred in the
// window's current bounds, so it follows size changes.
class SplashScreen : public virtual Platform::Object {
 public:
  static constexpr float ImageWidth = 620;
  static constexpr float ImageHeight = 300;
  Windows::Foundation::Rect ImageLocation() const;
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.ApplicationModel.Activation.SplashScreen";
  }
};

class IActivatedEventArgs : public virtual Platform::Object {
 public:
  explicit IActivatedEventArgs(ActivationKind kind, std::shared_ptr<SplashScreen> splash = nullptr)
      : kind_(kind), splash_(std::move(splash)) {}
  ActivationKind Kind() const { return kind_; }
  ApplicationExecutionState PreviousExecutionState() const { return previous_; }
  void PreviousExecutionState(ApplicationExecutionState state) { previous_ = state; }
  std::shared_ptr<Activation::SplashScreen> SplashScreen() const { return splash_; }

 private:
  ActivationKind kind_;
  std::shared_ptr<Activation::SplashScreen> splash_;
  ApplicationExecutionState previous_ = ApplicationExecutionState::NotRunning;
};

class LaunchActivatedEventArgs : public IActivatedEventArgs {
 public:
  LaunchActivatedEventArgs(Platform::String arguments,
                           std::shared_ptr<Activation::SplashScreen> splash)
      : IActivatedEventArgs(ActivationKind::Launch, std::move(splash)),
        arguments_(std::move(arguments)) {}
  Platform::String Arguments() const { return arguments_; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.ApplicationModel.Activation.LaunchActivatedEventArgs";
  }

 private:
  Platform::String arguments_;
};

class ProtocolActivatedEventArgs : public IActivatedEventArgs {
 public:
  ProtocolActivatedEventArgs(std::shared_ptr<Windows::Foundation::Uri> uri,
                             std::shared_ptr<Activation::SplashScreen> splash)
      : IActivatedEventArgs(ActivationKind::Protocol, std::move(splash)), uri_(std::move(uri)) {}
  std::shared_ptr<Windows::Foundation::Uri> Uri() const { return uri_; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.ApplicationModel.Activation.ProtocolActivatedEventArgs";
  }

 private:
  std::shared_ptr<Windows::Foundation::Uri> uri_;
};

using StorageItems =
    Windows::Foundation::Collections::IVectorView<std::shared_ptr<Windows::Storage::IStorageItem>>;

class FileActivatedEventArgs : public IActivatedEventArgs {
 public:
  FileActivatedEventArgs(std::vector<std::shared_ptr<Windows::Storage::IStorageItem>> files,
                         std::shared_ptr<Activation::SplashScreen> splash,
                         Platform::String verb = u"open")
      : IActivatedEventArgs(ActivationKind::File, std::move(splash)),
        files_(Platform::ref_new<StorageItems>(std::move(files))),
        verb_(std::move(verb)) {}
  std::shared_ptr<StorageItems> Files() const { return files_; }
  Platform::String Verb() const { return verb_; }
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.ApplicationModel.Activation.FileActivatedEventArgs";
  }

 private:
  std::shared_ptr<StorageItems> files_;
  Platform::String verb_;
};

class ShareTargetActivatedEventArgs : public IActivatedEventArgs {
 public:
  explicit ShareTargetActivatedEventArgs(std::shared_ptr<Activation::SplashScreen> splash)
      : IActivatedEventArgs(ActivationKind::ShareTarget, std::move(splash)) {}
  Platform::String GetRuntimeClassName() const override {
    return u"Windows.ApplicationModel.Activation.ShareTargetActivatedEventArgs";
  }
};

}  // namespace Windows::ApplicationModel::Activation
