# The nineteen functions the shared library exports, checked against the
# declarations in ostrel.h. Sets `expected`; fails when the header declares
# another set. Variable: HEADER.

set(expected
  Tavi_Init Tavi_Update Tavi_Get_Version Tavi_Destroy
  Tavi_MessagesCount Tavi_Zel_GetMessage
  Tavi_SetUser Tavi_SetClient Tavi_SetAttribution Tavi_SetAppData
  Tavi_SetDeviceLocale Tavi_SetPlatform
  Tavi_Event_LevelUp Tavi_EventStartLoading Tavi_EventFinishLoading
  Tavi_EventTutorialStart Tavi_EventTutorialFinish
  Tavi_EventPurchase Tavi_CustomEvent)

file(READ "${HEADER}" header)
string(REGEX MATCHALL "OSTREL_API[^;(]*[ *](Tavi_[A-Za-z_]+)\\(" declarations "${header}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE ".*[ *](Tavi_[A-Za-z_]+)\\($" "\\1" name "${declaration}")
  list(APPEND declared ${name})
endforeach()
list(SORT declared)
set(sorted_expected ${expected})
list(SORT sorted_expected)
if(NOT declared STREQUAL sorted_expected)
  message(FATAL_ERROR "ostrel.h declares: ${declared}")
endif()
