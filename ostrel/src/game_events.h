// The game events behind the event exports: exact names, keys, order and
// value conversions. Each builds one event and records it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class ServicesClient;

namespace Ostrel::GameEvents {

void RecordLevelUp(ServicesClient& services, std::int32_t level);
void RecordStartLoading(ServicesClient& services);
void RecordFinishLoading(ServicesClient& services);
void RecordTutorialStart(ServicesClient& services);
void RecordTutorialFinish(ServicesClient& services);

// validated and sandbox: only the low byte of each slot counts.
void RecordPurchase(ServicesClient& services, double price, std::string currency, std::string sku,
                    std::int32_t amount, std::int32_t validated, std::string name,
                    std::int32_t sandbox);

// Strings of the attributes JSON become attributes, numbers metrics (integers
// by their low 32 bits, fractions narrowed to single precision); other values
// are skipped. Returns false, recording nothing, when the text is not JSON.
bool RecordCustom(ServicesClient& services, std::string name, std::string_view attributesJson);

}  // namespace Ostrel::GameEvents
