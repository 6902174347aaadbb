// Exports of GameAssembly, the compiled game code (libGameAssembly.so).
//
// The host imports three of them: SetHeaderUpdateCallback,
// DllGetActivationFactory and DllCanUnloadNow. The engine's player drives
// the game through GameAssembly_StartGame and GameAssembly_RunFrame.
#pragma once

#include <memory>

#include "platform/activation_factory.h"
#include "platform/hresult.h"
#include "platform/runtime.h"

#define GAME_ASSEMBLY_EXPORT __attribute__((visibility("default")))

extern "C" {

// The title callback: a NUL-terminated 8-bit text, valid during the call.
typedef void (*HeaderUpdateCallbackFunction)(const char* text);

// Keeps `callback` (null: none) for the game to call later, from the
// thread the game runs on. A later registration replaces the earlier one.
GAME_ASSEMBLY_EXPORT void SetHeaderUpdateCallback(HeaderUpdateCallbackFunction callback);

// The game serves no runtime class: stores null in *factory and answers
// REGDB_E_CLASSNOTREG for every class id (a null id reads as the empty
// string); a null `factory` answers E_POINTER.
GAME_ASSEMBLY_EXPORT HRESULT DllGetActivationFactory(
    const Platform::String* activatableClassId,
    std::shared_ptr<Windows::Foundation::IActivationFactory>* factory);

// The game holds no objects for others: always S_FALSE ("keep me loaded"),
// since the process outlives the game anyway.
GAME_ASSEMBLY_EXPORT HRESULT DllCanUnloadNow(void);

// (Re)starts the sample game's scenario from its first frame.
GAME_ASSEMBLY_EXPORT void GameAssembly_StartGame(void);

// Plays one frame; answers 1 once the game has quit, 0 while it runs.
GAME_ASSEMBLY_EXPORT int GameAssembly_RunFrame(void);

}  // extern "C"
