# The 32-bit Windows DLL: every library source, built against the real Windows and
# Direct3D 9 headers, linked statically with its runtime, libjpeg-turbo, libpng and zlib so
# that it needs only system DLLs. The libraries come from scripts/build-windows-deps.sh
# (Debian's sources, built for i686 Windows), whose prefix KV_WINDOWS_DEPS names.
# The module-definition file names the fifteen exports; stdcall-fixup maps them onto the
# decorated symbols. After each link the export and import tables are checked.
set(KV_WINDOWS_DEPS "" CACHE PATH "Prefix of the i686 Windows builds of libjpeg-turbo and libpng")
list(APPEND CMAKE_FIND_ROOT_PATH ${KV_WINDOWS_DEPS})
set(ZLIB_USE_STATIC_LIBS ON)
find_package(JPEG)
find_package(PNG)
if(NOT JPEG_FOUND OR NOT PNG_FOUND)
  message(FATAL_ERROR "libjpeg-turbo or libpng for i686 Windows not found under KV_WINDOWS_DEPS "
                      "('${KV_WINDOWS_DEPS}'). Build them with scripts/build-windows-deps.sh, which "
                      "needs the Debian packages libz-mingw-w64-dev, dpkg-dev and nasm.")
endif()

kv_glob(KV_DLL_SOURCES src)
kv_glob(KV_DLL_API_SOURCES src/api)
list(REMOVE_ITEM KV_DLL_SOURCES ${KV_DLL_API_SOURCES})
# Everything but the exports, compiled once: the DLL and the cross-built tests link it.
add_library(kvpolygon_core STATIC ${KV_DLL_SOURCES})
target_include_directories(kvpolygon_core PUBLIC ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kvpolygon_core PUBLIC JPEG::JPEG PNG::PNG d3d9 user32 advapi32)

add_library(kvpolygon SHARED ${KV_DLL_API_SOURCES} ${PROJECT_SOURCE_DIR}/src/api/kvpolygon.def)
set_target_properties(kvpolygon PROPERTIES OUTPUT_NAME kvPolygon PREFIX "")
target_link_libraries(kvpolygon PRIVATE kvpolygon_core)
target_link_options(kvpolygon PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup)
find_program(KV_MINGW_OBJDUMP NAMES ${KV_MINGW_PREFIX}-objdump objdump REQUIRED)
add_custom_command(TARGET kvpolygon POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-windows-dll.sh $<TARGET_FILE:kvpolygon>
          ${PROJECT_SOURCE_DIR}/src/api/kvpolygon.def ${KV_MINGW_OBJDUMP}
  VERBATIM)

include(${CMAKE_CURRENT_LIST_DIR}/windows_tests.cmake)
