#include "curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace Delivery {
namespace {

constexpr std::size_t kMaxReasonBodyBytes = 512;

struct HeaderList {
  curl_slist* lines = nullptr;
  ~HeaderList() { curl_slist_free_all(lines); }
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<std::string*>(target);
  std::size_t bytes = size * count;
  if (body->size() < kMaxReasonBodyBytes) {
    body->append(data, std::min(bytes, kMaxReasonBodyBytes - body->size()));
  }
  return bytes;
}

int CheckAbort(void* flag, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0;
}

bool IsTransient(CURLcode code) {
  switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return true;
    default:
      return false;
  }
}

AttemptResult FromCurlError(CURLcode code, const char* errorText) {
  AttemptResult result;
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    result.kind = AttemptResult::Kind::Aborted;
    result.reason = "shutdown";
    return result;
  }
  result.kind = IsTransient(code) ? AttemptResult::Kind::Retryable : AttemptResult::Kind::Permanent;
  result.reason = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
  return result;
}

AttemptResult FromStatus(long status, const std::string& body) {
  AttemptResult result;
  result.status = status;
  if (status >= 200 && status < 300) {
    result.kind = AttemptResult::Kind::Sent;
    return result;
  }
  bool retryable = status >= 500 || status == 429;
  result.kind = retryable ? AttemptResult::Kind::Retryable : AttemptResult::Kind::Permanent;
  result.reason = "HTTP " + std::to_string(status);
  if (!body.empty()) result.reason += ": " + body;
  return result;
}

}  // namespace

bool EnsureCurlGlobalInit() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  return initialised;
}

CurlTransfer::CurlTransfer(std::chrono::milliseconds connectTimeout,
                           std::chrono::milliseconds totalTimeout,
                           const std::atomic<bool>& abortFlag)
    : handle(EnsureCurlGlobalInit() ? curl_easy_init() : nullptr),
      connectTimeout(connectTimeout),
      totalTimeout(totalTimeout),
      abortFlag(abortFlag) {}

CurlTransfer::~CurlTransfer() { curl_easy_cleanup(static_cast<CURL*>(handle)); }

AttemptResult CurlTransfer::Post(const std::string& url,
                                 const std::vector<std::string>& headerLines,
                                 const std::string& body) {
  CURL* curl = static_cast<CURL*>(handle);
  if (curl == nullptr)
    return {AttemptResult::Kind::Permanent, 0, "libcurl could not be initialised"};

  HeaderList headers;
  for (const std::string& line : headerLines) {
    headers.lines = curl_slist_append(headers.lines, line.c_str());
  }
  // An empty "Expect:" stops libcurl from waiting for "100 Continue" on large bodies.
  headers.lines = curl_slist_append(headers.lines, "Expect:");

  std::string responseBody;
  char errorText[CURL_ERROR_SIZE] = "";
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.lines);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(totalTimeout.count()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &responseBody);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckAbort);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &abortFlag);

  CURLcode code = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
  if (code != CURLE_OK) return FromCurlError(code, errorText);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return FromStatus(status, responseBody);
}

}  // namespace Delivery
