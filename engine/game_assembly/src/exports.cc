#include <atomic>

#include "game_assembly.h"
#include "header_callback.h"
#include "sample_game.h"

namespace GameAssembly {
namespace {
std::atomic<HeaderUpdateCallbackFunction> headerCallback{nullptr};
}

HeaderUpdateCallbackFunction CurrentHeaderCallback() { return headerCallback.load(); }

void SetWindowTitle(const char* text) {
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

void GameAssembly_StartGame(void) { GameAssembly::SampleGame::Instance().Start(); }

int GameAssembly_RunFrame(void) { return GameAssembly::SampleGame::Instance().RunFrame() ? 1 : 0; }

}  // extern "C"
