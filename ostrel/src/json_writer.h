// Every JSON document the library produces is written here, with one setting:
// compact, UTF-8 copied unchanged, object keys in byte order (nlohmann's
// default map), and bytes that are not valid UTF-8 written as U+FFFD so that
// one bad text can never block an upload.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

std::string WriteJson(const nlohmann::json& document);
