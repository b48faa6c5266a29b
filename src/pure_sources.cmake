# The pure base: no platform header, so it is built natively as well, for the
# package builder, fuzzing and sanitizer runs.
file(GLOB EK_PURE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/base/*.cpp)
