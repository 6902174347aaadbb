// Plays thirty-event cycles through libostrel.so as ostrel_bench's
// BM_CycleFastExports does (record, flush, take), for counting instructions
// with callgrind, which counts the same on every run of a noisy machine:
//
//   valgrind --tool=callgrind build/release/bench/ostrel_cycles 1100
//   valgrind --tool=callgrind build/release/bench/ostrel_cycles 100
//
// One cycle costs the difference of the two totals divided by 1000 (the
// start-up cost cancels out).
#include <cstdlib>

#include "game_session.h"

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::atoi(argv[1]) : 1000;
  GameSession::ExportsPlayer player;
  std::size_t bytes = 0;
  for (int cycle = 0; cycle < cycles; ++cycle) {
    GameSession::PlayThirtyEvents(player);
    bytes += player.TakeMessages();
  }
  return cycles > 0 && bytes == 0 ? 1 : 0;
}
