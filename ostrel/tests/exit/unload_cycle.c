/* Loads the shared library (path in argv[1]), records, unloads it, loads it
 * again: the session and its buffered event are still there and the calls
 * work. dlopen/dlclose, or LoadLibrary/FreeLibrary on Windows. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "release_text.h"

#if defined(_WIN32)
#include <windows.h>

static void* OpenLibrary(const char* path) { return (void*)LoadLibraryA(path); }
static void* FindSymbol(void* library, const char* name) {
  FARPROC function = GetProcAddress((HMODULE)library, name);
  void* symbol;
  memcpy(&symbol, &function, sizeof symbol);
  return symbol;
}
static int CloseLibrary(void* library) { return FreeLibrary((HMODULE)library) ? 0 : 1; }
static const char* LoadError(void) { return "LoadLibrary or GetProcAddress failed"; }
#else
#include <dlfcn.h>

static void* OpenLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }
static int CloseLibrary(void* library) { return dlclose(library); }
static const char* LoadError(void) { return dlerror(); }
#endif

struct Exports {
  void (*init)(const char*);
  void (*levelUp)(int32_t);
  void (*update)(void);
  void (*destroy)(void);
  int32_t (*messagesCount)(void);
  char* (*getMessage)(void);
};

static int Fail(const char* what) {
  fprintf(stderr, "unload cycle: %s\n", what);
  return 1;
}

static void* Load(const char* path, struct Exports* exports) {
  void* library = OpenLibrary(path);
  if (library == NULL) return NULL;
  /* POSIX lets a data pointer hold a function's address; copy it over. */
  void* symbols[6];
  const char* names[6] = {"Tavi_Init",    "Tavi_Event_LevelUp", "Tavi_Update",
                          "Tavi_Destroy", "Tavi_MessagesCount", "Tavi_Zel_GetMessage"};
  for (int i = 0; i < 6; ++i) {
    symbols[i] = FindSymbol(library, names[i]);
    if (symbols[i] == NULL) return NULL;
  }
  memcpy(&exports->init, &symbols[0], sizeof symbols[0]);
  memcpy(&exports->levelUp, &symbols[1], sizeof symbols[1]);
  memcpy(&exports->update, &symbols[2], sizeof symbols[2]);
  memcpy(&exports->destroy, &symbols[3], sizeof symbols[3]);
  memcpy(&exports->messagesCount, &symbols[4], sizeof symbols[4]);
  memcpy(&exports->getMessage, &symbols[5], sizeof symbols[5]);
  return library;
}

/* Takes the one queued request; true when it carries every text given. */
static int TakeOneCarrying(const struct Exports* exports, const char* first, const char* second) {
  if (exports->messagesCount() != 1) return 0;
  char* message = exports->getMessage();
  const int carries =
      message != NULL && strstr(message, first) != NULL && strstr(message, second) != NULL;
  ReleaseText(message);
  return carries;
}

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: unload_cycle LIBRARY");
  struct Exports exports;
  void* library = Load(argv[1], &exports);
  if (library == NULL) return Fail(LoadError());
  exports.init("unload-test");
  exports.levelUp(4);
  if (CloseLibrary(library) != 0) return Fail("the first unload failed");

  library = Load(argv[1], &exports);
  if (library == NULL) return Fail(LoadError());
  exports.update();
  if (!TakeOneCarrying(&exports, "_session.start", "a_Levelup")) {
    return Fail("the session recorded before the unload is gone");
  }
  exports.destroy();
  if (!TakeOneCarrying(&exports, "_session.stop", "unload-test")) {
    return Fail("no _session.stop request after the reload");
  }
  if (CloseLibrary(library) != 0) return Fail("the second unload failed");
  puts("unload cycle: session kept across unload and reload");
  return 0;
}
