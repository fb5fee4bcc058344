# The Windows tree: the launcher library, its zstd, and the tests that run under Wine.
enable_language(ASM)
include(cmake/zstd_decompress.cmake)
include(cmake/delay_loaded.cmake)

# Objects that end up in the stub: small and free of unreferenced code. No
# -fdata-sections: with it mingw puts zero-filled buffers into .data, in the file.
set(KOVRAN_LAUNCHER_FLAGS -Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
    -ffunction-sections)

add_library(kovran_launcher STATIC)
target_include_directories(kovran_launcher PUBLIC "${CMAKE_SOURCE_DIR}")
target_compile_options(kovran_launcher PRIVATE ${KOVRAN_LAUNCHER_FLAGS})
target_compile_definitions(kovran_launcher PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
# user32, gdi32 and shell32 are loaded from System32 at first use, never imported.
target_link_libraries(kovran_launcher PUBLIC zstd_decompress kovran_delay_shell32 kovran_delay_user32
  kovran_delay_gdi32)
kovran_warnings(kovran_launcher)

foreach(dir launcher support payload paths child builds progress)
  add_subdirectory(${dir})
endforeach()

# Link settings shared by the stub and the test programs: static runtime, so that only
# system DLLs are imported.
set(KOVRAN_STATIC_LINK -static -static-libgcc -static-libstdc++)

# The launcher stub: linked once here, embedded in the pack tool, which fills in its
# constants record and adds the resources and the payload. Page-aligned sections in the
# file let a loader map the payload from the file instead of copying it into private
# memory (Wine copies sections at other offsets).
# Its linker script is the linker's default with the few-byte sections folded into others,
# made at configure time from the linker the compiler runs.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-prog-name=ld
  OUTPUT_VARIABLE KOVRAN_STUB_LINKER OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
find_program(KOVRAN_PYTHON python3 REQUIRED)
set(KOVRAN_STUB_SCRIPT "${CMAKE_BINARY_DIR}/launcher-stub.ld")
execute_process(COMMAND ${KOVRAN_PYTHON} "${CMAKE_SOURCE_DIR}/cmake/stub_sections.py"
  "${KOVRAN_STUB_LINKER}" "${KOVRAN_STUB_SCRIPT}" COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/cmake/stub_sections.py")
add_executable(kovran_stub support/build_config.cpp support/constants_record.cpp
  launcher/process_entry.cpp)
target_compile_options(kovran_stub PRIVATE ${KOVRAN_LAUNCHER_FLAGS})
target_link_libraries(kovran_stub PRIVATE kovran_launcher)
target_link_options(kovran_stub PRIVATE ${KOVRAN_STATIC_LINK} -municode -mwindows -s
  -Wl,--undefined=wWinMain -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,--file-alignment=0x1000
  -Wl,--entry,launcher_process_entry -Wl,--subsystem,windows:5.2 -Wl,--dynamicbase,--high-entropy-va,--nxcompat,--disable-tsaware
  "SHELL:-Xlinker --stack -Xlinker 0x968000,0x1000" "SHELL:-Xlinker --heap -Xlinker 0x100000,0x1000"
  "-Wl,-T,${KOVRAN_STUB_SCRIPT}")
set_property(TARGET kovran_stub APPEND PROPERTY LINK_DEPENDS "${KOVRAN_STUB_SCRIPT}")
kovran_warnings(kovran_stub)
set_target_properties(kovran_stub PROPERTIES OUTPUT_NAME launcher-stub
  RUNTIME_OUTPUT_DIRECTORY "${KOVRAN_LIB_OUTPUT_DIR}")

# The pack tool for Windows: zstd with its worker threads, Debian's zlib for mingw, and
# CLI11's headers (copied on their own, so that no other host header is ever found).
find_library(KOVRAN_WINDOWS_ZLIB NAMES libz.a REQUIRED)
file(COPY /usr/include/CLI DESTINATION "${CMAKE_BINARY_DIR}/cli11-include")
add_library(cli11_headers INTERFACE)
target_include_directories(cli11_headers SYSTEM INTERFACE "${CMAKE_BINARY_DIR}/cli11-include")
set(KOVRAN_PACK_LIBRARIES zstd_full ${KOVRAN_WINDOWS_ZLIB})
set(KOVRAN_CLI11 cli11_headers)
add_subdirectory(pack)
include(cmake/package.cmake)

add_subdirectory(sample)
add_subdirectory(tests)

# Benchmark programs (the corpus's main program and the measuring driver).
if(EXISTS "${CMAKE_SOURCE_DIR}/bench/windows/CMakeLists.txt")
  add_subdirectory(bench/windows)
endif()
