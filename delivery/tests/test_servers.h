// Loopback servers that misbehave on purpose, for the tests and benchmarks
// of the sender: one where transfers hang, one that records what arrives.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback port where a transfer never ends. Stage::Answer: connections
// complete (the system takes them) but nothing reads the request or
// answers. Stage::Connect: the listening queue is full, so connecting never
// completes.
class HangingPort {
 public:
  enum class Stage { Connect, Answer };
  explicit HangingPort(Stage stage);
  ~HangingPort();
  HangingPort(const HangingPort&) = delete;
  HangingPort& operator=(const HangingPort&) = delete;
  std::string Url() const;

 private:
  int listener = -1;
  int filler = -1;  // the connection that fills the queue
  int port = 0;
};

// A loopback HTTP/1.1 server that answers every request with `answer` (a
// whole response) on kept-alive connections, and records the head of each
// request (its request line and header lines, CRLF-separated). The first
// `held` requests are never answered: each one's connection is kept until
// the client closes it.
class RecordingServer {
 public:
  explicit RecordingServer(std::string answer, int held = 0);
  ~RecordingServer();
  RecordingServer(const RecordingServer&) = delete;
  RecordingServer& operator=(const RecordingServer&) = delete;
  std::string Url() const;
  std::vector<std::string> Heads() const;
  int Requests() const { return requests; }

 private:
  void Serve();
  void Converse(int connection);

  const std::string answer;
  int held;
  int listener = -1;
  int stopPipe[2] = {-1, -1};
  int port = 0;
  mutable std::mutex mutex;
  std::vector<std::string> heads;
  std::atomic<int> requests{0};
  std::thread thread;
};
