# The collection service's base URL, the text every upload URL starts with
# before "/v1/...": http:// or https://, a host (a name, an IPv4 address or an
# IPv6 address in brackets), an optional :port and an optional path. Trailing
# slashes are removed, so that no URL ever contains "//v1". User info, query
# and fragment are refused, and so is any character that would not survive
# as it is in a C string literal and a CMake list (blank, quotes, backslash,
# semicolon, ...).
#
# ostrel_normalise_base_url(<url> <out_url> <out_error>) sets <out_url> to
# the normalised URL and <out_error> to the empty text, or <out_error> to
# what is wrong.
function(ostrel_normalise_base_url url out_url out_error)
  set(host "([A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?|\\[[0-9A-Fa-f:.]+\\])")
  set(path "(/[A-Za-z0-9._~%+,=:@/-]*)?")
  set(error "")
  if(NOT url MATCHES "^https?://${host}(:([0-9]+))?${path}$")
    set(error "'${url}' is not http:// or https:// followed by a host, an optional :port and an optional path (no user info, query or fragment; path characters A-Z a-z 0-9 . _ ~ % + , = : @ / -)")
  elseif(NOT CMAKE_MATCH_4 STREQUAL "" AND (CMAKE_MATCH_4 LESS 1 OR CMAKE_MATCH_4 GREATER 65535))
    set(error "'${url}' has port ${CMAKE_MATCH_4}, outside 1 to 65535")
  endif()
  string(REGEX REPLACE "/+$" "" url "${url}")
  set(${out_url} "${url}" PARENT_SCOPE)
  set(${out_error} "${error}" PARENT_SCOPE)
endfunction()
