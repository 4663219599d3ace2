# The reader, pixel and scene test programs, cross-built as Windows executables
# against the same objects as the DLL, so that every line the DLL holds also compiles and
# links into tests there. They cannot run on this machine; the 32-bit Linux build runs them.
# Test files that steer the stand-in Direct3D 9 runtime through its control surface exist
# only beside that runtime and are left out here.
set(KV_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${KV_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${KV_GTEST_SOURCE} (Debian package googletest)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KV_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)

set(kv_windows_test_programs texload texload_readers texload_jpeg_png pixel_formats pixel_convert
    pixel_blocks scene)
set(kv_windows_test_stand_in_only pixel_convert/surface_lock_test.cpp)
foreach(folder IN LISTS kv_windows_test_programs)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
  foreach(left_out IN LISTS kv_windows_test_stand_in_only)
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/tests/${left_out})
  endforeach()
  add_executable(kvtest_${folder} ${sources})
  target_include_directories(kvtest_${folder} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(kvtest_${folder} PRIVATE kvpolygon_core GTest::gtest GTest::gtest_main)
  target_compile_definitions(kvtest_${folder} PRIVATE KV_TESTDATA_DIR="../shared/testdata"
                                                      KV_SOURCE_DIR=".")
  target_link_options(kvtest_${folder} PRIVATE -static -static-libgcc -static-libstdc++)
endforeach()
