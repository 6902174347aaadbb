// The sample game: a short fixed scenario played one frame at a time.
#pragma once

#include <mutex>

namespace GameAssembly {

class SampleGame {
 public:
  static SampleGame& Instance();
  void Start();
  // Plays the next frame; true once the game has quit.
  bool RunFrame();

 private:
  std::mutex mutex_;
  int frame_ = 0;
};

}  // namespace GameAssembly
