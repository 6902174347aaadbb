# Sanitizer suppressions for libraries the project calls but does not build,
# which the sanitizers cannot see into. Each file says why its lines are safe.

# The environment for tests that draw (cairo, Pango, fontconfig, GLib).
set(OSTREL_CORVANE_DRAWING_SANITIZER_ENV
  "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/drawing_lsan.txt"
  "TSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/drawing_tsan.txt")

# ThreadSanitizer's suppressions for tests run by Mono.
set(OSTREL_CORVANE_MONO_TSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/mono_tsan.txt)
