#include "test_servers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace {

// A socket listening on a free loopback port; returns it and sets `port`.
int ListenOnLoopback(int backlog, int& port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(fd, backlog) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot listen on a loopback port");
  }
  port = ntohs(address.sin_port);
  return fd;
}

// Waits for `fd` to be readable, or for the stop pipe; false when stopping.
bool WaitReadable(int fd, int stop) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
  return poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN) == 0;
}

std::size_t ContentLength(const std::string& head) {
  std::string lower = head;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lower.find("\r\ncontent-length:");
  return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 17, nullptr, 10);
}

}  // namespace

HangingPort::HangingPort(Stage stage) {
  listener = ListenOnLoopback(stage == Stage::Connect ? 0 : 16, port);
  if (stage == Stage::Connect) {
    // One connection fills a queue of length 0; later ones wait for ever.
    filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
}

HangingPort::~HangingPort() {
  if (filler >= 0) close(filler);
  close(listener);
}

std::string HangingPort::Url() const { return "http://127.0.0.1:" + std::to_string(port); }

RecordingServer::RecordingServer(std::string answer, int held)
    : answer(std::move(answer)), held(held) {
  listener = ListenOnLoopback(16, port);
  if (pipe(stopPipe) != 0) throw std::runtime_error("cannot make a pipe");
  thread = std::thread([this] { Serve(); });
}

RecordingServer::~RecordingServer() {
  (void)!write(stopPipe[1], "x", 1);
  thread.join();
  close(stopPipe[0]);
  close(stopPipe[1]);
  close(listener);
}

std::string RecordingServer::Url() const { return "http://127.0.0.1:" + std::to_string(port); }

std::vector<std::string> RecordingServer::Heads() const {
  std::lock_guard<std::mutex> lock(mutex);
  return heads;
}

void RecordingServer::Serve() {
  while (WaitReadable(listener, stopPipe[0])) {
    const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Converse(connection);
    close(connection);
  }
}

// Answers the requests of one connection until the client closes it.
void RecordingServer::Converse(int connection) {
  std::string received;
  char buffer[64 * 1024];
  while (WaitReadable(connection, stopPipe[0])) {
    const ssize_t got = read(connection, buffer, sizeof buffer);
    if (got <= 0) return;
    received.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = received.find("\r\n\r\n")) != std::string::npos;) {
      const std::string head = received.substr(0, end);
      const std::size_t whole = end + 4 + ContentLength(head);
      if (received.size() < whole) break;
      received.erase(0, whole);
      {
        std::lock_guard<std::mutex> lock(mutex);
        heads.push_back(head);
      }
      ++requests;
      if (held > 0) {
        --held;
        continue;  // never answered: read on until the client gives up
      }
      if (write(connection, answer.data(), answer.size()) != static_cast<ssize_t>(answer.size())) {
        return;
      }
    }
  }
}
