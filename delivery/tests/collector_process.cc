#include "collector_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

std::string MakeScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "collector-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

pid_t Spawn(const std::vector<std::string>& arguments, const std::string& logPath) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + arguments[0]);
  return pid;
}

int ReadPort(const std::string& path) {
  std::ifstream file(path);
  int port = 0;
  return file >> port ? port : 0;
}

}  // namespace

CollectorProcess::CollectorProcess(std::vector<std::string> options, bool ledger)
    : directory(MakeScratchDirectory()) {
  std::vector<std::string> arguments = {
      COLLECTOR_SCRIPT, "--port",           "0", "--out", directory + "/stored.jsonl",
      "--port-file",    directory + "/port"};
  if (ledger) arguments.insert(arguments.end(), {"--report", directory + "/report.json"});
  arguments.insert(arguments.end(), options.begin(), options.end());
  pid = Spawn(arguments, directory + "/log");
  for (int tries = 0; tries < 500 && port == 0; ++tries) {  // up to 10 s
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      throw std::runtime_error("collector exited at start; see " + directory + "/log");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    port = ReadPort(directory + "/port");
  }
  if (port == 0) throw std::runtime_error("collector wrote no port");
}

CollectorProcess::~CollectorProcess() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(directory, ignored);
}

std::string CollectorProcess::Url() const { return "http://127.0.0.1:" + std::to_string(port); }

std::vector<nlohmann::json> CollectorProcess::StoredRequests() const {
  std::ifstream file(directory + "/stored.jsonl");
  std::vector<nlohmann::json> requests;
  for (std::string line; std::getline(file, line);) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

nlohmann::json CollectorProcess::Streams() const {
  std::ifstream file(directory + "/report.json");
  return nlohmann::json::parse(file)["streams"];
}

ClosedPort::ClosedPort() : socketFd(socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (socketFd < 0 || bind(socketFd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      getsockname(socketFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (socketFd >= 0) close(socketFd);
    throw std::runtime_error("cannot reserve a loopback port");
  }
  port = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() { close(socketFd); }

std::string ClosedPort::Url() const { return "http://127.0.0.1:" + std::to_string(port); }

int CollectorProcess::Duplicates() const {
  std::ifstream log(directory + "/log");
  int duplicates = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.find("duplicate Idempotency-Key") != std::string::npos) ++duplicates;
  }
  return duplicates;
}

std::string Sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

pid_t SpawnProgram(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start " + arguments[0]);
  }
  return pid;
}

int WaitForProgram(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
