# The host tree: the pack tool and the tests of host code.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
find_package(CLI11 CONFIG REQUIRED)
find_package(GTest REQUIRED)

foreach(dir pack tests/pack bench)
  if(EXISTS "${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory(${dir})
  endif()
endforeach()
