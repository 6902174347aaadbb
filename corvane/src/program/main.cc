// The corvane program: starts the application with the one activation its
// command line asks for and prints the platform trace on standard output.
// Exit status: 0 when the game quits (and for --help and --version), 1 when
// the host cannot start (a missing GameAssembly import, a missing package
// folder), the activation fails or --frames could not write every picture,
// 2 for a usage error (an unknown option, a missing or invalid value such as
// a --protocol text that is no absolute URI, a --collector address the
// engine refuses or a --frames folder that cannot be created or written to,
// two activation kinds), 3 when the game quit with analytics requests kept in
// its outbox for a later run (or lost because they could not be stored). The
// --collector address, the --outbox folder and the player's timing
// (--startup-ms, --frame-ms) go to the engine as engine options; the game in
// GameAssembly does the sending. --frames installs the stand-in's frame
// writer before the application starts.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app.h"
#include "engine_player/engine_options.h"
#include "module/game_assembly_imports.h"
#include "module/module_exports.h"
#include "module/module_startup.h"
#include "platform/application.h"
#include "platform/stand_in/composition.h"
#include "platform/stand_in/render/frame_writer.h"
#include "platform/stand_in/stand_in.h"
#include "platform/stand_in/trace.h"
#include "program/command_line.h"
#include "program/command_line_activation.h"
#include "program/module_export_query.h"
#include "program/trace_output.h"

namespace {

void PrintTraceEvent(const Platform::Trace::Event& event) {
  const std::string line = Platform::Trace::Format(Corvane::PresentTraceEvent(event)) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

// The package folder, absolute, made the current directory (the manifest is
// read by its relative name).
void EnterPackageFolder(const std::string& folder) {
  std::error_code error;
  const auto absolute = std::filesystem::absolute(folder, error);
  if (error || !std::filesystem::is_directory(absolute, error) || chdir(absolute.c_str()) != 0) {
    throw std::runtime_error("package folder not found: " + folder);
  }
  Platform::StandIn::SetPackageFolder(absolute.string());
}

// The outbox's default folder: "corvane" under $XDG_STATE_HOME, or under
// ~/.local/state when that is not set (or not absolute).
std::string DefaultOutboxFolder() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/corvane";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    throw std::runtime_error("no outbox folder: HOME is not set (give --outbox DIR)");
  }
  return std::string(home) + "/.local/state/corvane";
}

// The engine refuses an unusable collector address with its reason: a
// usage error of --collector.
void ApplyEngineOptions(const Corvane::CommandLine& line) {
  EnginePlayer::EngineOptions engine;
  engine.collectorUrl = line.collectorUrl.value_or("");
  // Absolute: the program enters the package folder before the game opens it.
  engine.outboxFolder = engine.collectorUrl.empty() ? ""
                        : line.outboxFolder ? std::filesystem::absolute(*line.outboxFolder).string()
                                            : DefaultOutboxFolder();
  engine.startupTime = line.startupTime.value_or(engine.startupTime);
  engine.framePeriod = line.framePeriod.value_or(engine.framePeriod);
  try {
    EnginePlayer::ApplyEngineOptions(engine);
  } catch (const std::invalid_argument& refused) {
    throw Corvane::UsageError(std::string("--collector: ") + refused.what());
  }
}

// The frame writer for --frames; null without the option. A folder it
// cannot use is a usage error of --frames. Called before the package folder
// becomes the current one, so a relative DIR is taken from where corvane
// was started.
std::shared_ptr<Platform::Render::FrameWriter> StartFrameWriter(const Corvane::CommandLine& line) {
  if (!line.framesFolder) return nullptr;
  try {
    return std::make_shared<Platform::Render::FrameWriter>(
        Platform::Render::FrameWriter::Options{*line.framesFolder});
  } catch (const std::runtime_error& unusable) {
    throw Corvane::UsageError(std::string("--frames: ") + unusable.what());
  }
}

// The window is watched by `observer` (may be null) while this lives.
class WatchedWindow {
 public:
  explicit WatchedWindow(std::shared_ptr<Platform::CompositionObserver> observer) {
    Platform::Composition::SetObserver(std::move(observer));
  }
  ~WatchedWindow() { Platform::Composition::SetObserver(nullptr); }
  WatchedWindow(const WatchedWindow&) = delete;
  WatchedWindow& operator=(const WatchedWindow&) = delete;
};

int RunApplication(const Corvane::CommandLine& line) {
  auto activation = Corvane::ActivationFor(line);
  Corvane::GameAssembly();  // a missing import stops the start here
  ApplyEngineOptions(line);
  const auto frames = StartFrameWriter(line);
  EnterPackageFolder(line.packageFolder.value_or(Platform::StandIn::PackageFolder()));
  Platform::Trace::SetSink(PrintTraceEvent);
  Platform::StandIn::Activate(activation);
  {
    const WatchedWindow watched(frames);  // the frames are written at the application's end
    // The callback is a delegate of the host: it counts itself while alive.
    Windows::UI::Xaml::Application::Start(
        [counted = Corvane::ModuleObjectCount()](auto) { Platform::ref_new<Corvane::App>(); });
  }
  if (const auto failure = Platform::StandIn::ActivationFailure()) {
    std::fprintf(stderr, "corvane: activation failed: %s\n", failure->message.c_str());
    return 1;
  }
  if (frames && frames->Failures() > 0) {
    std::fprintf(stderr,
                 "corvane: --frames: %u pictures could not be written to %s (see the trace)\n",
                 frames->Failures(), line.framesFolder->c_str());
    return 1;
  }
  return EnginePlayer::RequestsNotDeliveredByGame() > 0 ? 3 : 0;
}

int Run(const Corvane::CommandLine& line) {
  using Action = Corvane::CommandLine::Action;
  switch (line.action) {
    case Action::Help:
      std::fputs(Corvane::UsageText().c_str(), stdout);
      return 0;
    case Action::Version:
      std::printf("corvane %s\n", CORVANE_VERSION);
      return 0;
    case Action::QueryExports:
      Corvane::GameAssembly();  // bound and checked as for a start
      return Corvane::QueryExports(line.exportQuery, stdout);
    case Action::Run:
      break;
  }
  return RunApplication(line);
}

}  // namespace

// The executable's activation exports, handed unchanged to GameAssembly
// (VSDesignerDllMain, the third export, comes with the module's start-up).
extern "C" HRESULT DllGetActivationFactory(
    const Platform::String* activatableClassId,
    std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) noexcept {
  return Corvane::ForwardDllGetActivationFactory(activatableClassId, factory);
}
extern "C" HRESULT DllCanUnloadNow() noexcept { return Corvane::ForwardDllCanUnloadNow(); }

int main(int argc, char** argv) {
  // Runtime data and module object first; torn down on every way out.
  const Corvane::ExecutableProcess process;
  try {
    return Run(Corvane::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
  } catch (const Corvane::UsageError& e) {
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help' for more information.\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvane: cannot start: %s\n", e.what());
    return 1;
  }
}
