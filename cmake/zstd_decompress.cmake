# zstd for the Windows tree: Debian's zstd sources (fetched by scripts/setup.sh),
# cross-built without legacy formats: decompression only for the launcher, the whole
# library for the Windows pack tool and the tests.
set(KOVRAN_ZSTD_SOURCE_DIR "${KOVRAN_DEPS_DIR}/zstd/src" CACHE PATH "zstd source tree")
if(NOT EXISTS "${KOVRAN_ZSTD_SOURCE_DIR}/lib/zstd.h")
  message(FATAL_ERROR "zstd sources not found at ${KOVRAN_ZSTD_SOURCE_DIR}; run scripts/setup.sh")
endif()

set(zstd_lib "${KOVRAN_ZSTD_SOURCE_DIR}/lib")
file(GLOB zstd_common_sources "${zstd_lib}/common/*.c")
file(GLOB zstd_decompress_sources "${zstd_lib}/decompress/*.c")
file(GLOB zstd_compress_sources "${zstd_lib}/compress/*.c")

set(zstd_definitions ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM ZSTD_TRACE=0)

# The launcher's decoder. Only the literal and sequence decoders and the content checksum
# run per byte; the frame and block headers, table reading and the rest run a few times per
# 128 KiB block and are built for size: 7 KB less stub for every packed application.
set(zstd_hot_sources "${zstd_lib}/common/xxhash.c" "${zstd_lib}/decompress/huf_decompress.c"
  "${zstd_lib}/decompress/zstd_decompress_block.c")
set(zstd_cold_sources ${zstd_common_sources} ${zstd_decompress_sources})
list(REMOVE_ITEM zstd_cold_sources ${zstd_hot_sources})
# The launcher never asks zstd to name an error, and the linker keeps the names' 1.7 KB
# whenever their file is linked: a stand-in that names none.
list(REMOVE_ITEM zstd_cold_sources "${zstd_lib}/common/error_private.c")
list(APPEND zstd_cold_sources "${CMAKE_SOURCE_DIR}/payload/zstd_error_name.cpp")
# One code path instead of a second BMI2 copy of the hot decoders: 35 KB less stub. One
# Huffman decoder (single-symbol) instead of two: 15 KB less stub for about 3 % more decode
# time, which the writers' time hides.
set(zstd_decoder_definitions ${zstd_definitions} DYNAMIC_BMI2=0 HUF_FORCE_DECOMPRESS_X1)
add_library(zstd_decompress_cold OBJECT ${zstd_cold_sources})
target_compile_definitions(zstd_decompress_cold PRIVATE ${zstd_decoder_definitions})
target_compile_options(zstd_decompress_cold PRIVATE -Os -ffunction-sections -w)
add_library(zstd_decompress STATIC ${zstd_hot_sources} $<TARGET_OBJECTS:zstd_decompress_cold>)
target_include_directories(zstd_decompress SYSTEM PUBLIC "${zstd_lib}")
target_compile_definitions(zstd_decompress PRIVATE ${zstd_decoder_definitions})
target_compile_options(zstd_decompress PRIVATE -O2 -ffunction-sections -w)

# The whole library with worker threads, never linked into the launcher: for the pack
# tool on Windows and for tests that make compressed payloads on the Windows side.
add_library(zstd_full STATIC EXCLUDE_FROM_ALL
  ${zstd_common_sources} ${zstd_decompress_sources} ${zstd_compress_sources})
target_include_directories(zstd_full SYSTEM PUBLIC "${zstd_lib}")
target_compile_definitions(zstd_full PRIVATE ${zstd_definitions} ZSTD_MULTITHREAD)
target_compile_options(zstd_full PRIVATE -O2 -w)
