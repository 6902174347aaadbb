// The analytics session the sample game plays: which frame does what.
#pragma once

#include <vector>

namespace GameAssembly {

// The project identifier the game gives Tavi_Init.
inline constexpr const char* kProjectId = "sample-game";

struct SessionStep {
  int frame;  // the frame the step runs on, counted from 1
  void (*play)();
};

// The steps in frame order. The first opens the session (Tavi_Init), the
// last closes it (Tavi_Destroy).
const std::vector<SessionStep>& SessionSteps();

}  // namespace GameAssembly
