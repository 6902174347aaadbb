// The corvane program: starts the application with the one activation its
// command line asks for and prints the platform trace on standard output.
// Its exit statuses are listed in program/exit_status.h (and by --help).
// The --collector address, the --outbox folder, the player's --consent and
// timing (--startup-ms, --frame-ms) go to the engine as engine options; the game in
// GameAssembly does the sending. --frames installs the stand-in's frame
// writer once the host has started (the folder is untouched by a start
// that fails before). SIGINT, SIGTERM and SIGHUP close the window
// (program/close_on_signals.h); a failed write to standard output closes it
// too (program/standard_output.h).
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
#include "program/close_on_signals.h"
#include "program/command_line.h"
#include "program/command_line_activation.h"
#include "program/exit_status.h"
#include "program/module_export_query.h"
#include "program/standard_output.h"
#include "program/trace_output.h"

namespace {

using Corvane::Code;
using Corvane::ExitStatus;

void PrintTraceEvent(const Platform::Trace::Event& event) {
  Corvane::WriteStandardOutput(Platform::Trace::Format(Corvane::PresentTraceEvent(event)) + "\n");
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
  engine.consent = line.consent.value_or(engine.consent);
  engine.startupTime = line.startupTime.value_or(engine.startupTime);
  engine.framePeriod = line.framePeriod.value_or(engine.framePeriod);
  try {
    EnginePlayer::ApplyEngineOptions(engine);
  } catch (const EnginePlayer::GameEnvironmentError& refused) {
    throw Corvane::UsageError(refused.what());
  } catch (const std::invalid_argument& refused) {
    throw Corvane::UsageError(std::string("--collector: ") + refused.what());
  }
}

// The --frames folder, absolute, taken from where corvane was started.
std::string FramesFolder(const Corvane::CommandLine& line) {
  if (!line.framesFolder) return "";
  std::error_code error;
  const auto absolute = std::filesystem::absolute(*line.framesFolder, error);
  if (error) throw Corvane::UsageError("--frames: " + *line.framesFolder + ": " + error.message());
  return absolute.string();
}

// The frame writer for --frames; null without the option. A folder it
// cannot use is a usage error of --frames.
std::shared_ptr<Platform::Render::FrameWriter> StartFrameWriter(const Corvane::CommandLine& line,
                                                                const std::string& folder) {
  if (!line.framesFolder) return nullptr;
  Platform::Render::FrameWriter::Options options{folder};
  options.shownAs = *line.framesFolder;
  try {
    return std::make_shared<Platform::Render::FrameWriter>(options);
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

// The status of a run that started, the first that applies.
int RunStatus(const Corvane::CommandLine& line,
              const std::shared_ptr<Platform::Render::FrameWriter>& frames, int closingSignal) {
  if (const auto failure = Platform::StandIn::ActivationFailure()) {
    std::fprintf(stderr, "corvane: activation failed: %s\n", failure->message.c_str());
    return Code(ExitStatus::Failure);
  }
  if (frames && frames->Failures() > 0) {
    std::fprintf(stderr,
                 "corvane: --frames: %u pictures could not be written to %s (see the trace)\n",
                 frames->Failures(), line.framesFolder->c_str());
    return Code(ExitStatus::Failure);
  }
  if (Corvane::StandardOutputFailed()) return Code(ExitStatus::OutputFailed);
  if (closingSignal != 0) return Corvane::ClosedBySignalCode(closingSignal);
  return EnginePlayer::RequestsNotDeliveredByGame() > 0 ? Code(ExitStatus::RequestsKept)
                                                        : Code(ExitStatus::Success);
}

int RunApplication(const Corvane::CommandLine& line) {
  auto activation = Corvane::ActivationFor(line);
  Corvane::GameAssembly();  // a missing import stops the start here
  ApplyEngineOptions(line);
  const std::string framesFolder = FramesFolder(line);
  EnterPackageFolder(line.packageFolder.value_or(Platform::StandIn::PackageFolder()));
  // Before the frames thread, the pool's workers and the game's threads.
  const Corvane::CloseOnSignals signals;
  const auto frames = StartFrameWriter(line, framesFolder);
  Corvane::OnStandardOutputFailure([] { Platform::StandIn::CloseWindow(); });
  Platform::Trace::SetSink(PrintTraceEvent);
  Platform::StandIn::Activate(activation);
  {
    const WatchedWindow watched(frames);  // the frames are written at the application's end
    // The callback is a delegate of the host: it counts itself while alive.
    Windows::UI::Xaml::Application::Start(
        [counted = Corvane::ModuleObjectCount()](auto) { Platform::ref_new<Corvane::App>(); });
  }
  return RunStatus(line, frames, signals.ClosingSignal());
}

// Output that only prints: its status once standard output is flushed.
int Printed(int status) {
  return Corvane::FlushStandardOutput() ? status : Code(ExitStatus::OutputFailed);
}

int Run(const Corvane::CommandLine& line) {
  using Action = Corvane::CommandLine::Action;
  switch (line.action) {
    case Action::Help:
      std::fputs(Corvane::UsageText().c_str(), stdout);
      return Printed(Code(ExitStatus::Success));
    case Action::Version:
      std::printf("corvane %s\n", CORVANE_VERSION);
      return Printed(Code(ExitStatus::Success));
    case Action::QueryExports:
      Corvane::GameAssembly();  // bound and checked as for a start
      return Printed(Corvane::QueryExports(line.exportQuery, stdout) == 0
                         ? Code(ExitStatus::Success)
                         : Code(ExitStatus::Failure));
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
  Corvane::EnsureStandardDescriptors();  // before anything opens a file
  // Runtime data and module object first; torn down on every way out.
  const Corvane::ExecutableProcess process;
  try {
    return Run(Corvane::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc)));
  } catch (const Corvane::UsageError& e) {
    std::fprintf(stderr, "corvane: %s\nTry 'corvane --help' for more information.\n", e.what());
    return Code(ExitStatus::Usage);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvane: cannot start: %s\n", e.what());
    return Code(ExitStatus::Failure);
  }
}
