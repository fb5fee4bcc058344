# The host tree: the pack tool and the tests of host code.
enable_language(ASM)
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
find_package(ZLIB REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

# The pack tool links everything statically (pack/CMakeLists.txt). Debian's libzstd.a
# has no worker threads, so zstd is built from the same Debian sources as for the
# Windows tool; zlib comes from Debian's libz.a.
include(cmake/zstd_decompress.cmake)
set_target_properties(zstd_decompress PROPERTIES EXCLUDE_FROM_ALL ON)
target_link_libraries(zstd_full PUBLIC Threads::Threads)
find_library(KOVRAN_STATIC_ZLIB NAMES libz.a REQUIRED)
set(KOVRAN_PACK_LIBRARIES zstd_full ${KOVRAN_STATIC_ZLIB})
set(KOVRAN_CLI11 CLI11::CLI11)

include(cmake/package.cmake)

foreach(dir pack tests/pack tests/package bench)
  if(EXISTS "${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory(${dir})
  endif()
endforeach()
