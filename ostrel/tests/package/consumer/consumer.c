/* A C program built against the installed Ostrel package. It is compiled as
 * strict C, which proves that ostrel.h is valid C, plays a tiny session and
 * prints what the library returns, releasing every returned text as ostrel.h
 * says: CoTaskMemFree() on Windows, free() elsewhere.
 */
#include <ostrel.h>

#include <stdio.h>
#include <stdlib.h>

#if defined(_WIN32)
#include <objbase.h>
#define release_text CoTaskMemFree
#else
#define release_text free
#endif

static void print_owned(const char* label, char* text) {
  printf("%s=%s\n", label, text ? text : "(null)");
  release_text(text);
}

int main(void) {
  int32_t count;
  int32_t i;

  print_owned("version", Tavi_Get_Version());
  Tavi_Init("pkg-consumer");
  Tavi_SetUser("c-user");
  Tavi_SetPlatform("Linux", NULL);
  Tavi_Update();
  Tavi_Event_LevelUp(3);
  Tavi_EventPurchase(NULL, NULL, 0.5, "EUR", "sku-1", 1, 1, NULL, 0);
  Tavi_CustomEvent("c-event", "{\"k\":1}");
  Tavi_Destroy();

  count = Tavi_MessagesCount();
  printf("count=%d\n", (int)count);
  for (i = 0; i < count; ++i) {
    print_owned("message", Tavi_Zel_GetMessage());
  }
  printf("after=%d\n", (int)Tavi_MessagesCount());
  return 0;
}
