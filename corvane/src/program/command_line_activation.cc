#include "program/command_line_activation.h"

#include "platform/strings.h"

namespace Corvane {

using namespace Windows::ApplicationModel::Activation;

namespace {

std::shared_ptr<Windows::Foundation::Uri> ProtocolUri(const std::string& text) {
  try {
    return Platform::ref_new<Windows::Foundation::Uri>(Platform::FromUtf8(text));
  } catch (const Platform::InvalidArgumentException&) {
    throw UsageError("--protocol: \"" + text + "\" is not an absolute URI");
  }
}

}  // namespace

std::shared_ptr<IActivatedEventArgs> ActivationFor(const CommandLine& line) {
  auto splash = Platform::ref_new<SplashScreen>();
  switch (line.kind) {
    case CommandLine::Kind::Protocol:
      return Platform::ref_new<ProtocolActivatedEventArgs>(ProtocolUri(line.protocolUri), splash);
    case CommandLine::Kind::File: {
      std::vector<std::shared_ptr<Windows::Storage::IStorageItem>> files;
      for (auto& path : line.files)
        files.push_back(Platform::ref_new<Windows::Storage::StorageFile>(Platform::FromUtf8(path)));
      return Platform::ref_new<FileActivatedEventArgs>(std::move(files), splash);
    }
    case CommandLine::Kind::ShareTarget:
      return Platform::ref_new<ShareTargetActivatedEventArgs>(nullptr);
    case CommandLine::Kind::Launch:
      break;
  }
  return Platform::ref_new<LaunchActivatedEventArgs>(Platform::FromUtf8(line.launchArguments),
                                                     splash);
}

}  // namespace Corvane
