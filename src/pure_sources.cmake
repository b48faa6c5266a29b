# Sources that include no platform header: built natively as well, for the
# package builder, fuzzing and sanitizer runs.
set(EK_PURE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/config/text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/ini_document.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/record_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config/version.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install/zip_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/install/package_trailer.cpp
)
