#include "platform/runtime_data.h"

#include <mutex>

namespace Platform::Details {
namespace {

std::mutex recordLock;
RuntimeDataRecord record;

}  // namespace

HRESULT InitializeData(int value) {
  std::lock_guard<std::mutex> hold(recordLock);
  ++record.initializeCalls;
  record.lastInitializeValue = value;
  return S_OK;
}

void UninitializeData(int value) {
  std::lock_guard<std::mutex> hold(recordLock);
  ++record.uninitializeCalls;
  record.lastUninitializeValue = value;
}

RuntimeDataRecord RecordedRuntimeData() {
  std::lock_guard<std::mutex> hold(recordLock);
  return record;
}

}  // namespace Platform::Details
