#include "http_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string_view>

#include "ascii.h"

namespace Delivery {
namespace {

constexpr std::size_t kMaxReasonBodyBytes = 200;

// How long libcurl may wait for its sockets before the loop looks at the
// time again (a stop wakes it at once, see Wakeup).
constexpr int kPollMs = 250;
constexpr std::chrono::milliseconds kMeanwhileInterval{1000};

struct HeaderList {
  curl_slist* lines = nullptr;
  ~HeaderList() { curl_slist_free_all(lines); }
  bool Append(const std::string& line) {
    curl_slist* longer = curl_slist_append(lines, line.c_str());
    if (longer != nullptr) lines = longer;
    return longer != nullptr;
  }
};

struct Answer {
  std::string body;        // its first kMaxReasonBodyBytes
  std::string retryAfter;  // the Retry-After header's value
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto* answer = static_cast<Answer*>(target);
  const std::size_t bytes = size * count;
  if (answer->body.size() < kMaxReasonBodyBytes) {
    answer->body.append(data, std::min(bytes, kMaxReasonBodyBytes - answer->body.size()));
  }
  return bytes;
}

std::string Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  return std::string(text);
}

size_t CollectHeader(char* data, size_t size, size_t count, void* target) {
  auto* answer = static_cast<Answer*>(target);
  const std::size_t bytes = size * count;
  constexpr std::string_view name = "retry-after:";
  const std::string_view line(data, bytes);
  if (StartsWithNoCase(line, name)) answer->retryAfter = Trim(line.substr(name.size()));
  return bytes;
}

bool CurlReady() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
}

// libcurl codes that say the request itself cannot be sent, whatever the
// network or the collector do.
bool RequestCannotBeSent(CURLcode code) {
  return code == CURLE_URL_MALFORMAT || code == CURLE_BAD_FUNCTION_ARGUMENT;
}

AttemptResult Unsendable(const std::string& why) {
  return {AttemptResult::Outcome::Rejected, 0, "cannot be sent: " + why, {}};
}

}  // namespace

AttemptResult::Outcome OutcomeOfStatus(int status) {
  if (status >= 200 && status < 300) return AttemptResult::Outcome::Delivered;
  if (status >= 400 && status < 500 && status != 408 && status != 429) {
    return AttemptResult::Outcome::Rejected;
  }
  return AttemptResult::Outcome::Retry;
}

std::optional<std::int64_t> ParseRetryAfter(const std::string& value, std::int64_t nowMs) {
  if (value.empty()) return std::nullopt;
  if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    if (value.size() > 9) return std::int64_t{999999999} * 1000;
    return std::stoll(value) * 1000;
  }
  const time_t date = curl_getdate(value.c_str(), nullptr);
  if (date == -1) return std::nullopt;
  return std::max<std::int64_t>(0, static_cast<std::int64_t>(date) * 1000 - nowMs);
}

std::vector<std::string> CurlHeaderLines(const std::vector<std::string>& lines) {
  std::vector<std::string> given;
  bool contentType = false;
  for (const std::string& line : lines) {
    const std::size_t colon = line.find(':');
    const std::string name = line.substr(0, colon);
    contentType = contentType || AsciiLower(name) == "content-type";
    // "Name:" alone tells libcurl to leave the header out; "Name;" sends it empty.
    const bool empty = colon == std::string::npos || Trim(line.substr(colon + 1)).empty();
    given.push_back(empty ? name + ";" : line);
  }
  // libcurl's defaults: a form Content-Type for a POST body, "Accept: */*",
  // and an "Expect: 100-continue" round trip for larger bodies.
  if (!contentType) given.push_back("Content-Type:");
  given.push_back("Accept:");
  given.push_back("Expect:");
  return given;
}

HttpTransfer::HttpTransfer(TransferOptions options, std::function<bool()> abandon)
    : easy(CurlReady() ? curl_easy_init() : nullptr),
      multi(CurlReady() ? curl_multi_init() : nullptr),
      options(options),
      abandon(std::move(abandon)) {}

HttpTransfer::~HttpTransfer() {
  curl_multi_cleanup(static_cast<CURLM*>(multi));
  curl_easy_cleanup(static_cast<CURL*>(easy));
}

void HttpTransfer::Wakeup() {
  if (multi != nullptr) curl_multi_wakeup(static_cast<CURLM*>(multi));
}

AttemptResult HttpTransfer::Post(const std::string& url,
                                 const std::vector<std::string>& headerLines,
                                 const std::string& body, std::int64_t nowMs,
                                 const std::function<bool()>& meanwhile) {
  CURL* curl = static_cast<CURL*>(easy);
  CURLM* transfers = static_cast<CURLM*>(multi);
  if (curl == nullptr || transfers == nullptr) {
    return {AttemptResult::Outcome::Retry, 0, "libcurl is not available", {}};
  }
  HeaderList headers;
  for (const std::string& line : CurlHeaderLines(headerLines)) {
    if (!headers.Append(line)) return {AttemptResult::Outcome::Retry, 0, "out of memory", {}};
  }

  Answer answer;
  char errorText[CURL_ERROR_SIZE] = "";
  curl_easy_reset(curl);  // keeps the open connection
  if (curl_easy_setopt(curl, CURLOPT_URL, url.c_str()) != CURLE_OK) {
    return Unsendable("libcurl refuses the url");
  }
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.lines);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(options.requestTimeoutMs));
  curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, options.reuseConnection ? 0L : 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

  CURLcode code = CURLE_OK;
  bool abandoned = false;
  if (curl_multi_add_handle(transfers, curl) != CURLM_OK) {
    return {AttemptResult::Outcome::Retry, 0, "libcurl cannot start the transfer", {}};
  }
  auto lastMeanwhile = std::chrono::steady_clock::now();
  for (int running = 1;;) {
    if (abandon()) {
      abandoned = true;
      break;
    }
    curl_multi_perform(transfers, &running);
    if (running == 0) break;
    curl_multi_poll(transfers, nullptr, 0, kPollMs, nullptr);
    if (meanwhile && std::chrono::steady_clock::now() - lastMeanwhile >= kMeanwhileInterval) {
      if (!meanwhile()) {
        abandoned = true;
        break;
      }
      lastMeanwhile = std::chrono::steady_clock::now();
    }
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(transfers, &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == curl) code = message->data.result;
  }
  curl_multi_remove_handle(transfers, curl);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

  AttemptResult result;
  if (abandoned) {
    result.outcome = AttemptResult::Outcome::Abandoned;
    result.reason = "stopping";
    return result;
  }
  if (code != CURLE_OK) {
    const std::string why = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    if (RequestCannotBeSent(code)) return Unsendable(why);
    result.reason = why;
    return result;
  }
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  result.status = static_cast<int>(status);
  result.outcome = OutcomeOfStatus(result.status);
  if (result.outcome != AttemptResult::Outcome::Delivered) {
    result.reason =
        "HTTP " + std::to_string(status) + (answer.body.empty() ? "" : ": " + answer.body);
    result.retryAfterMs = ParseRetryAfter(answer.retryAfter, nowMs);
  }
  return result;
}

}  // namespace Delivery
