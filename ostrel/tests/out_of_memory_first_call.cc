// Every export called while no allocation succeeds, before the library has
// created its state (Tavi_MessagesCount first): each returns its fallback and
// throws nothing; once memory is back the library works. A program of its own,
// so that its calls are the first the library sees. Exits non-zero on a
// failed check.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "ostrel.h"
#include "release_text.h"

namespace {

bool allocationsFail = false;

int Check(bool ok, const char* what) {
  if (!ok) std::fprintf(stderr, "FAILED: %s\n", what);
  return ok ? 0 : 1;
}

}  // namespace

// The library's operator new resolves to this one.
void* operator new(std::size_t size) {
  void* block = allocationsFail ? nullptr : std::malloc(size != 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

int main() {
  allocationsFail = true;
  const int32_t count = Tavi_MessagesCount();
  Tavi_Init("p");
  Tavi_SetUser("u");
  Tavi_SetClient("c");
  Tavi_SetAttribution("a");
  Tavi_SetAppData("a", "b", "c", "d", "e");
  Tavi_SetDeviceLocale("en-US");
  Tavi_SetPlatform("x", "y");
  Tavi_Event_LevelUp(1);
  Tavi_EventStartLoading();
  Tavi_EventFinishLoading();
  Tavi_EventTutorialStart();
  Tavi_EventTutorialFinish();
  Tavi_EventPurchase("a", "b", 1, "c", "d", 1, 1, "e", 1);
  Tavi_CustomEvent("n", "{}");
  Tavi_Update();
  char* message = Tavi_Zel_GetMessage();
  Tavi_Destroy();
  allocationsFail = false;

  int failures = Check(count == 0, "no messages without state");
  failures += Check(message == nullptr, "no message text without memory");
  Tavi_Init("p");
  Tavi_Update();
  failures += Check(Tavi_MessagesCount() == 1, "the session starts once memory is back");
  char* text = Tavi_Zel_GetMessage();
  failures += Check(text != nullptr && text[0] == '{', "its request can be taken");
  ReleaseText(text);
  return failures == 0 ? 0 : 1;
}
