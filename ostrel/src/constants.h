// Values fixed when the library is built.
#pragma once

#include <cstddef>
#include <cstdint>

#ifndef OSTREL_BASE_URL
#define OSTREL_BASE_URL "https://analytics.example.com"
#endif

namespace Ostrel::Constants {

// Returned by Tavi_Get_Version and written as the SDK version of every event.
inline constexpr const char* kVersion = "2.0.1";

inline constexpr const char* baseUrl = OSTREL_BASE_URL;
inline constexpr const char* apiVersion = "v1";
inline constexpr const char* recordPath = "win/record";
inline constexpr const char* batchPath = "win/batch";
inline constexpr const char* projectKey = "project";
inline constexpr const char* kApiKey = "Qm7TzR2vLx9KpB4nWc8HdY1sJf6GuE3aVo5XiNt0";
inline constexpr const char* kContentTypeHeader = "Content-Type: application/json";

inline constexpr std::size_t flushEventsThresholdAmount = 30;
inline constexpr std::int64_t flushEventsThresholdSeconds = 30;

}  // namespace Ostrel::Constants
