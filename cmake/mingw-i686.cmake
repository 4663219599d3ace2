# Cross-compiles for 32-bit Windows with MinGW-w64, the flavour with POSIX threads (Debian
# package g++-mingw-w64-i686-posix): the cross-built tests need std::mutex, which the win32
# flavour lacks. Its thread library is linked statically, so the DLL still imports only
# system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KV_MINGW_PREFIX i686-w64-mingw32)
foreach(lang C CXX)
  if(lang STREQUAL C)
    set(tool gcc)
  else()
    set(tool g++)
  endif()
  find_program(KV_MINGW_${lang} NAMES ${KV_MINGW_PREFIX}-${tool}-posix REQUIRED)
  set(CMAKE_${lang}_COMPILER ${KV_MINGW_${lang}})
endforeach()
set(CMAKE_RC_COMPILER ${KV_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
