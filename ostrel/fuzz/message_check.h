// Checks one request message text taken from the queue against the text the
// model expects; aborts on any difference.
#pragma once

#include <string>

#include "export_model.h"

// Equal texts pass at once. Otherwise the finding names the first broken
// invariant: not JSON, not exactly {"data","headers","url"}, other header
// lines or URL, "data" not JSON, not compact sorted JSON, or which event of
// the body differs from the expected one.
void CheckMessage(const std::string& text, const ExpectedMessage& expected);
