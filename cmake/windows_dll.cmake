# The 32-bit Windows DLL: every library source, built against the real Windows and
# Direct3D 9 headers, linked statically with its runtime so that it needs only system DLLs.
# The module-definition file names the fifteen exports; stdcall-fixup maps them onto the
# decorated symbols. After each link the export table is checked against that file.
kv_glob(KV_DLL_SOURCES src)
add_library(kvpolygon SHARED ${KV_DLL_SOURCES} ${PROJECT_SOURCE_DIR}/src/api/kvpolygon.def)
set_target_properties(kvpolygon PROPERTIES OUTPUT_NAME kvPolygon PREFIX "")
target_include_directories(kvpolygon PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kvpolygon PRIVATE d3d9 user32 advapi32)
target_link_options(kvpolygon PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup)
find_program(KV_MINGW_OBJDUMP NAMES ${KV_MINGW_PREFIX}-objdump objdump REQUIRED)
add_custom_command(TARGET kvpolygon POST_BUILD
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-dll-exports.sh $<TARGET_FILE:kvpolygon>
          ${PROJECT_SOURCE_DIR}/src/api/kvpolygon.def ${KV_MINGW_OBJDUMP}
  VERBATIM)
