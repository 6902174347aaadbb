/* Loads libostrel.so (path in argv[1]), records, unloads it, loads it again:
 * the session and its buffered event are still there and the calls work. */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) return NULL;
  /* POSIX lets a data pointer hold a function's address; copy it over. */
  void* symbols[6];
  const char* names[6] = {"Tavi_Init",    "Tavi_Event_LevelUp", "Tavi_Update",
                          "Tavi_Destroy", "Tavi_MessagesCount", "Tavi_Zel_GetMessage"};
  for (int i = 0; i < 6; ++i) {
    symbols[i] = dlsym(library, names[i]);
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
  free(message);
  return carries;
}

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: unload_cycle LIBRARY");
  struct Exports exports;
  void* library = Load(argv[1], &exports);
  if (library == NULL) return Fail(dlerror());
  exports.init("unload-test");
  exports.levelUp(4);
  if (dlclose(library) != 0) return Fail("first dlclose failed");

  library = Load(argv[1], &exports);
  if (library == NULL) return Fail(dlerror());
  exports.update();
  if (!TakeOneCarrying(&exports, "_session.start", "a_Levelup")) {
    return Fail("the session recorded before the unload is gone");
  }
  exports.destroy();
  if (!TakeOneCarrying(&exports, "_session.stop", "unload-test")) {
    return Fail("no _session.stop request after the reload");
  }
  if (dlclose(library) != 0) return Fail("second dlclose failed");
  puts("unload cycle: session kept across dlclose and dlopen");
  return 0;
}
