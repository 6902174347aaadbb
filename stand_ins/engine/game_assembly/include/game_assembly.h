// Exports of GameAssembly, the compiled game code (libGameAssembly.so).
//
// The host imports three of them: SetHeaderUpdateCallback,
// DllGetActivationFactory and DllCanUnloadNow. The engine's player drives
// the game through GameAssembly_StartGame and GameAssembly_RunFrame, and
// has it draw its picture with GameAssembly_DrawFrame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/activation_factory.h"
#include "platform/hresult.h"
#include "platform/runtime.h"

#define GAME_ASSEMBLY_EXPORT __attribute__((visibility("default")))

extern "C" {

// cairo's drawing context (cairo.h).
typedef struct _cairo cairo_t;

// The title callback: a NUL-terminated 8-bit text, valid during the call.
typedef void (*HeaderUpdateCallbackFunction)(const char* text);

// Keeps `callback` (null: none) for the game to call later, from the
// thread the game runs on. A later registration replaces the earlier one.
GAME_ASSEMBLY_EXPORT void SetHeaderUpdateCallback(HeaderUpdateCallbackFunction callback);

// The game serves no runtime class: stores null in *factory and answers
// REGDB_E_CLASSNOTREG for every class id (a null id reads as the empty
// string); a null `factory` answers E_POINTER.
GAME_ASSEMBLY_EXPORT HRESULT
DllGetActivationFactory(const Platform::String* activatableClassId,
                        std::shared_ptr<Windows::Foundation::IActivationFactory>* factory);

// The game holds no objects for others: always S_FALSE ("keep me loaded"),
// since the process outlives the game anyway.
GAME_ASSEMBLY_EXPORT HRESULT DllCanUnloadNow(void);

// Receives the game's trace: one JSON object per line, e.g.
// {"event":"analytics.request","message":{...}}. Called from the game's
// thread and from the delivery library's sender thread, whose lines carry
// "thread":"delivery"; the text is valid during the call.
typedef void (*GameTraceSink)(const char* line);

// Installs the trace sink (null: none); the game's lines go nowhere else.
GAME_ASSEMBLY_EXPORT void GameAssembly_SetTraceSink(GameTraceSink sink);

// Sets the collector the sample game sends its analytics requests to, from
// the next GameAssembly_StartGame on, and the folder of the outbox they wait
// in (the delivery library's): an http or https address of scheme, host and
// port such as "http://127.0.0.1:8765". Null or empty url: none, requests
// are only traced. Returns 1 when accepted. Returns 0 for an unusable
// address, or a collector without a folder, and keeps the earlier setting;
// the reason then goes to `error` (NUL-terminated, cut to errorSize bytes;
// `error` may be null).
GAME_ASSEMBLY_EXPORT int GameAssembly_SetCollector(const char* url, const char* outboxFolder,
                                                   char* error, size_t errorSize);

// Sets the player's consent the sample game hands the delivery library from
// the next GameAssembly_StartGame on: "given" (the default: sent as usual),
// "denied" (every stored request deleted, nothing stored), or "pending"
// (consent required and not yet decided: stored, not sent, unless the
// outbox keeps a decision from an earlier run). Returns 1 when accepted; 0
// for any other text, keeping the earlier setting, with the reason in
// `error` as GameAssembly_SetCollector gives it.
GAME_ASSEMBLY_EXPORT int GameAssembly_SetConsent(const char* state, char* error, size_t errorSize);

// Checks the sample game's environment variables as options are checked:
// SAMPLE_GAME_QUIT_WAIT_MS, unset or empty for the default (10000), else a
// whole number of milliseconds from 0 to 3600000. Returns 1 when every
// value is usable; 0 otherwise, with the reason (naming the variable and
// its value) in `error` as GameAssembly_SetCollector gives it.
GAME_ASSEMBLY_EXPORT int GameAssembly_CheckEnvironment(char* error, size_t errorSize);

// The window closed: the game quits at once. A session still open is ended
// through Ostrel and the requests it left are taken; the outbox is closed,
// waiting at most the quit wait for the last requests. Does nothing when
// the game has quit or never played. Not while GameAssembly_RunFrame runs.
GAME_ASSEMBLY_EXPORT void GameAssembly_Quit(void);

// Requests the game's last finished run did not deliver: left in the
// outbox for a later run, or lost because they could not be stored. 0
// before a run has finished and without a collector.
GAME_ASSEMBLY_EXPORT int64_t GameAssembly_RequestsNotDelivered(void);

// (Re)starts the sample game's scenario from its first frame.
GAME_ASSEMBLY_EXPORT void GameAssembly_StartGame(void);

// Plays one frame; answers 1 once the game has quit, 0 while it runs.
GAME_ASSEMBLY_EXPORT int GameAssembly_RunFrame(void);

// Draws the game's picture for a render panel of width x height pixels with
// `cr` (origin at the top left, one unit a pixel): the level, the title
// text and the session's progress. Answers 1 when it drew, 0 when the
// picture would look as the one it drew last (nothing is drawn then).
// Called on the game's thread, after GameAssembly_RunFrame.
GAME_ASSEMBLY_EXPORT int GameAssembly_DrawFrame(cairo_t* cr, int width, int height);

}  // extern "C"
