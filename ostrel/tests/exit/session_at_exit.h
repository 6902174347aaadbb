/* The check the exit-time programs make: a session recorded during the run is
 * ended from exit-time code, and its requests, the last one carrying the
 * buffered level-up and "_session.stop", must still come out. A failed check
 * ends the process with status 1 at once, the only way code that runs
 * during exit can fail the test. */
#ifndef OSTREL_SESSION_AT_EXIT_H
#define OSTREL_SESSION_AT_EXIT_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "ostrel.h"
#include "release_text.h"

/* Opens a session, queues its start request (left for exit to take) and
 * buffers one event. */
static void PlaySession(void) {
  Tavi_Init("exit-test");
  Tavi_Update();
  Tavi_Event_LevelUp(3);
}

static void FailAtExit(const char* where, const char* what) {
  fprintf(stderr, "%s: %s\n", where, what);
  fflush(stderr);
  _exit(1);
}

static void EndSessionAndTakeRequests(const char* where) {
  Tavi_Destroy();
  if (Tavi_MessagesCount() != 2) FailAtExit(where, "expected two queued requests");
  char* start = Tavi_Zel_GetMessage();
  char* stop = Tavi_Zel_GetMessage();
  if (start == NULL || strstr(start, "_session.start") == NULL) {
    FailAtExit(where, "the first request does not carry _session.start");
  }
  if (stop == NULL || strstr(stop, "a_Levelup") == NULL || strstr(stop, "_session.stop") == NULL) {
    FailAtExit(where, "the last request does not carry a_Levelup and _session.stop");
  }
  ReleaseText(start);
  ReleaseText(stop);
  if (Tavi_MessagesCount() != 0) FailAtExit(where, "requests left after taking both");
  printf("%s: _session.stop request taken\n", where);
  fflush(stdout);
}

#endif /* OSTREL_SESSION_AT_EXIT_H */
