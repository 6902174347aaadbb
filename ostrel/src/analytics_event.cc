#include "analytics_event.h"

#include "clock.h"

AnalyticsEvent::AnalyticsEvent(std::string name)
    : name(std::move(name)), timestamp(Ostrel::Clock::NowMilliseconds()) {}

AnalyticsEvent& AnalyticsEvent::AddAttribute(std::string key, std::string value) {
  attributes.emplace_back(std::move(key), std::move(value));
  return *this;
}

AnalyticsEvent& AnalyticsEvent::AddMetric(std::string key, double value) {
  metrics.emplace_back(std::move(key), value);
  return *this;
}
