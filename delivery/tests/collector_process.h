// Runs scripts/collector as a child process on a free loopback port.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class CollectorProcess {
 public:
  // Starts the collector with `options` added to its command line (and,
  // with `ledger`, a --report file of its own) and waits until it has
  // written its port. Throws std::runtime_error when it fails.
  explicit CollectorProcess(std::vector<std::string> options = {}, bool ledger = false);
  ~CollectorProcess();  // SIGTERM, then waits for the process

  CollectorProcess(const CollectorProcess&) = delete;
  CollectorProcess& operator=(const CollectorProcess&) = delete;

  std::string Url() const;                             // "http://127.0.0.1:<port>"
  std::vector<nlohmann::json> StoredRequests() const;  // one per stored line
  int Duplicates() const;  // repeated Idempotency-Keys answered without storing
  // The ledger of each stream's numbers (with `ledger`): the "streams" object.
  nlohmann::json Streams() const;

 private:
  std::string directory;  // scratch files: port, stored requests, log
  pid_t pid = -1;
  int port = 0;
};

// A loopback port where nothing listens: bound, never listening, so every
// connection attempt is refused at once. Closed on destruction.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  std::string Url() const;

 private:
  int socketFd = -1;
  int port = 0;
};

// sha256 of `bytes` in lower-case hex, as the collector reports it for a body.
std::string Sha256Hex(const std::string& bytes);

// Starts `arguments[0]` with the arguments; returns its process id. Throws
// std::runtime_error when it cannot start.
pid_t SpawnProgram(const std::vector<std::string>& arguments);

// Waits for the process; returns its exit status (-1 when killed).
int WaitForProgram(pid_t pid);
