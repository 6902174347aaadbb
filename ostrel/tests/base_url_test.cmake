# cmake -P: the configure-time check and normalisation of OSTREL_BASE_URL.
include("${CMAKE_CURRENT_LIST_DIR}/../cmake/base_url.cmake")

set(failures "")
foreach(case
    "https://analytics.example.com|https://analytics.example.com"
    "https://analytics.example.com/|https://analytics.example.com"
    "http://127.0.0.1:8765|http://127.0.0.1:8765"
    "http://[::1]:8080/|http://[::1]:8080"
    "https://h.example/collect/api//|https://h.example/collect/api")
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 given)
  list(GET case 1 expected)
  ostrel_normalise_base_url("${given}" url error)
  if(error OR NOT url STREQUAL expected)
    string(APPEND failures "\n  ${given}: got '${url}' (${error}), expected '${expected}'")
  endif()
endforeach()

foreach(given
    "" "analytics.example.com" "ftp://h" "https://" "https:///v1" "https://h?x=1"
    "https://h#top" "https://user@h" "https://h:0" "https://h:65536" "https://h:port"
    "https://-h" "https://h/a b" "https://h/a\"b" "https://h/a\\\\b" "HTTPS://h")
  ostrel_normalise_base_url("${given}" url error)
  if(NOT error)
    string(APPEND failures "\n  ${given}: accepted as '${url}'")
  endif()
endforeach()
ostrel_normalise_base_url("https://h/a;b" url error)
if(NOT error)
  string(APPEND failures "\n  a semicolon was accepted")
endif()

if(failures)
  message(FATAL_ERROR "OSTREL_BASE_URL check:${failures}")
endif()
