// Argument values drawn from the fuzzer's bytes: texts a game might pass
// (null, samples with invalid UTF-8 and control characters, long texts) and
// custom-event attribute texts of any shape, mostly JSON.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <optional>
#include <string>

namespace FuzzInputs {

// std::nullopt stands for a null pointer. Texts never hold a NUL: the library
// reads each argument up to its first NUL.
std::optional<std::string> Text(FuzzedDataProvider& data);

// Attribute texts: null, arbitrary texts, or generated JSON (objects, arrays
// and scalars, big and negative integers, fractions), sometimes damaged.
std::optional<std::string> AttributesText(FuzzedDataProvider& data);

}  // namespace FuzzInputs
