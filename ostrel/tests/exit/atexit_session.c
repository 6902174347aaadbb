/* Ends the session from an atexit handler registered before the library's
 * first use, so that it runs after anything the library might register. */
#include <stdlib.h>

#include "session_at_exit.h"

static void EndAtExit(void) { EndSessionAndTakeRequests("atexit handler"); }

int main(void) {
  if (atexit(EndAtExit) != 0) return 1;
  PlaySession();
  return 0;
}
