#include <atomic>
#include <cstring>
#include <exception>

#include "game_assembly.h"
#include "game_screen.h"
#include "game_trace.h"
#include "header_callback.h"
#include "sample_game.h"

namespace GameAssembly {
namespace {
std::atomic<HeaderUpdateCallbackFunction> headerCallback{nullptr};
}

HeaderUpdateCallbackFunction CurrentHeaderCallback() { return headerCallback.load(); }

namespace {

void CopyReason(const char* reason, char* error, size_t errorSize) {
  if (!error || errorSize == 0) return;
  std::strncpy(error, reason, errorSize - 1);
  error[errorSize - 1] = '\0';
}

// Runs `work` for an export that reports failure as 0 with its reason in
// `error` (cut to errorSize bytes; may be null): no exception leaves. The
// reason is copied inside the handler, while the exception still lives.
template <typename Work>
int Reported(char* error, size_t errorSize, Work&& work) noexcept {
  try {
    work();
    return 1;
  } catch (const std::exception& e) {
    CopyReason(e.what(), error, errorSize);
  } catch (...) {
    CopyReason("unknown error", error, errorSize);
  }
  return 0;
}

}  // namespace

void SetWindowTitle(const char* text) {
  GameScreen::Instance().ShowTitle(text ? text : "");
  if (auto callback = headerCallback.load()) callback(text);
}

}  // namespace GameAssembly

extern "C" {

void SetHeaderUpdateCallback(HeaderUpdateCallbackFunction callback) {
  GameAssembly::headerCallback = callback;
}

HRESULT DllGetActivationFactory(const Platform::String*,
                                std::shared_ptr<Windows::Foundation::IActivationFactory>* factory) {
  if (!factory) return E_POINTER;
  factory->reset();
  return REGDB_E_CLASSNOTREG;
}

HRESULT DllCanUnloadNow(void) { return S_FALSE; }

void GameAssembly_SetTraceSink(GameTraceSink sink) { GameAssembly::SetTraceSink(sink); }

int GameAssembly_SetCollector(const char* url, const char* outboxFolder, char* error,
                              size_t errorSize) {
  return GameAssembly::Reported(error, errorSize, [&] {
    GameAssembly::SampleGame::Instance().SetCollector(url ? url : "",
                                                      outboxFolder ? outboxFolder : "");
  });
}

int GameAssembly_SetConsent(const char* state, char* error, size_t errorSize) {
  return GameAssembly::Reported(error, errorSize, [&] {
    GameAssembly::SampleGame::Instance().SetConsent(state ? state : "");
  });
}

int GameAssembly_CheckEnvironment(char* error, size_t errorSize) {
  return GameAssembly::Reported(error, errorSize,
                                [&] { GameAssembly::SampleGame::CheckEnvironment(); });
}

void GameAssembly_Quit(void) { GameAssembly::SampleGame::Instance().QuitNow(); }

int64_t GameAssembly_RequestsNotDelivered(void) {
  return GameAssembly::SampleGame::Instance().RequestsNotDelivered();
}

void GameAssembly_StartGame(void) { GameAssembly::SampleGame::Instance().Start(); }

int GameAssembly_RunFrame(void) { return GameAssembly::SampleGame::Instance().RunFrame() ? 1 : 0; }

int GameAssembly_DrawFrame(cairo_t* cr, int width, int height) {
  if (!cr || width <= 0 || height <= 0) return 0;
  return GameAssembly::GameScreen::Instance().Draw(cr, width, height) ? 1 : 0;
}

}  // extern "C"
