// Start-up and release of the language runtime's process-wide data.
//
// The value tells the runtime how it was loaded: 2 for a normal start of an
// executable, 0 for a library loaded by a design-time host. The stand-in only
// records the calls so that tests can see which start-up happened.
#pragma once

#include "platform/hresult.h"

namespace Platform::Details {

HRESULT InitializeData(int value);
void UninitializeData(int value);

// What the calls above recorded.
struct RuntimeDataRecord {
  int initializeCalls = 0;
  int lastInitializeValue = -1;
  int uninitializeCalls = 0;
  int lastUninitializeValue = -1;
};

RuntimeDataRecord RecordedRuntimeData();

}  // namespace Platform::Details
