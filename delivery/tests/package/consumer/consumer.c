/* A C program built against the installed delivery package, as strict C
 * (which proves ostrel_delivery.h is valid C). It stores one request in an
 * outbox in the folder given as its argument, with nothing listening at the
 * collector, and prints what the library answers. */
#include <ostrel_delivery.h>

#include <stdio.h>
#include <string.h>

static const char* const kMessage =
    "{\"data\":\"{}\",\"headers\":[\"X-Api-Key: k\",\"Content-Type: application/json\"],"
    "\"url\":\"https://analytics.example.com/v1/win/record?project=p\"}";

int main(int argc, char** argv) {
  char error[256] = "";
  char key[DELIVERY_KEY_SIZE] = "";
  int64_t bytes = 0;
  Delivery_Outbox* outbox;
  int32_t result;

  if (argc != 2) return 2;
  printf("version=%s\n", Delivery_Version());
  outbox = Delivery_Open(argv[1], "http://127.0.0.1:9", NULL, NULL, NULL, error, sizeof error);
  if (outbox == NULL) {
    printf("open failed: %s\n", error);
    return 1;
  }
  result = Delivery_Submit(outbox, kMessage, key, &bytes, error, sizeof error);
  printf("submit=%d key-length=%d bytes=%d\n", (int)result, (int)strlen(key), (int)bytes);
  printf("kept=%d\n", (int)Delivery_Close(outbox, 0));
  return 0;
}
