#include "analytics_event.h"

#include "clock.h"

AnalyticsEvent::AnalyticsEvent(std::string name)
    : name(std::move(name)), timestamp(Ostrel::Clock::NowMilliseconds()) {}

void AnalyticsEvent::Reserve(std::size_t attributeCount, std::size_t metricCount) {
  attributes.reserve(attributeCount);
  metrics.reserve(metricCount);
}

AnalyticsEvent& AnalyticsEvent::AddAttribute(std::string key, std::string value) {
  attributes.emplace_back(std::move(key), std::move(value));
  return *this;
}

AnalyticsEvent& AnalyticsEvent::AddMetric(std::string key, double value) {
  metrics.emplace_back(std::move(key), value);
  return *this;
}
