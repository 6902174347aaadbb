#include "http_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "ascii.h"

namespace Delivery {
namespace {

constexpr std::size_t kMaxReasonBodyBytes = 200;

struct HeaderList {
  curl_slist* lines = nullptr;
  ~HeaderList() { curl_slist_free_all(lines); }
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

std::string Trim(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  std::size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  return text.substr(start);
}

size_t CollectHeader(char* data, size_t size, size_t count, void* target) {
  auto* answer = static_cast<Answer*>(target);
  const std::size_t bytes = size * count;
  constexpr std::string_view name = "retry-after:";
  const std::string_view line(data, bytes);
  if (StartsWithNoCase(line, name))
    answer->retryAfter = Trim(std::string(line.substr(name.size())));
  return bytes;
}

int CheckAbandon(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

bool CurlReady() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
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

HttpTransfer::HttpTransfer(TransferOptions options, const std::atomic<bool>& abandon)
    : handle(CurlReady() ? curl_easy_init() : nullptr), options(options), abandon(abandon) {}

HttpTransfer::~HttpTransfer() { curl_easy_cleanup(static_cast<CURL*>(handle)); }

AttemptResult HttpTransfer::Post(const std::string& url,
                                 const std::vector<std::string>& headerLines,
                                 const std::string& body, std::int64_t nowMs) {
  CURL* curl = static_cast<CURL*>(handle);
  if (curl == nullptr) return {AttemptResult::Outcome::Retry, 0, "libcurl is not available", {}};

  HeaderList headers;
  for (const std::string& line : headerLines) {
    headers.lines = curl_slist_append(headers.lines, line.c_str());
  }
  // No "Expect: 100-continue" round trip for larger bodies.
  headers.lines = curl_slist_append(headers.lines, "Expect:");

  Answer answer;
  char errorText[CURL_ERROR_SIZE] = "";
  curl_easy_reset(curl);  // keeps the open connection
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
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
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckAbandon);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &abandon);

  const CURLcode code = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  AttemptResult result;
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    result.outcome = AttemptResult::Outcome::Abandoned;
    result.reason = "stopping";
    return result;
  }
  if (code != CURLE_OK) {
    result.reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
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
