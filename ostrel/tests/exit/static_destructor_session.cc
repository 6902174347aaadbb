// Ends the session from the destructor of a static object, constructed
// before the library's first use and so destroyed after anything the library
// might register for exit.
#include "session_at_exit.h"

namespace {

struct Game {
  ~Game() { EndSessionAndTakeRequests("static destructor"); }
} game;

}  // namespace

int main() {
  PlaySession();
  return 0;
}
