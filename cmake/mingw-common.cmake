# Shared part of the mingw-w64 cross toolchains. THORNVALE_MINGW_TRIPLE is set by the caller.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${THORNVALE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${THORNVALE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${THORNVALE_MINGW_TRIPLE}-windres)

# Cross-built libjpeg-turbo and giflib live in a cache that scripts/setup fills.
get_filename_component(_thornvale_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT THORNVALE_DEPS_PREFIX)
  set(THORNVALE_DEPS_PREFIX "${_thornvale_root}/.deps/${THORNVALE_MINGW_TRIPLE}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${THORNVALE_MINGW_TRIPLE} ${THORNVALE_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Win32 tests run under Wine; scripts/wine-session provides the prefix and the display.
set(CMAKE_CROSSCOMPILING_EMULATOR "${_thornvale_root}/scripts/wine-exec")
