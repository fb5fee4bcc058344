# Delay-load import libraries for the system DLLs that the launcher and the Windows tool
# call beyond kernel32 and msvcrt, made by dlltool from support/delay_loaded/NAME.def. Each
# becomes the target kovran_delay_NAME; support/system_libraries.cpp loads the DLLs.
find_program(KOVRAN_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
set(delay_dir "${CMAKE_BINARY_DIR}/delay-loaded")
file(MAKE_DIRECTORY "${delay_dir}")
foreach(dll user32 gdi32 shell32)
  set(def "${CMAKE_SOURCE_DIR}/support/delay_loaded/${dll}.def")
  set(lib "${delay_dir}/lib${dll}_delay.a")
  add_custom_command(OUTPUT "${lib}"
    COMMAND "${KOVRAN_DLLTOOL}" --deterministic-libraries -d "${def}" -y "${lib}"
    DEPENDS "${def}" COMMENT "Making the delay-load library of ${dll}")
  add_custom_target(kovran_delay_${dll}_lib DEPENDS "${lib}")
  add_library(kovran_delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(kovran_delay_${dll} PROPERTIES IMPORTED_LOCATION "${lib}")
  add_dependencies(kovran_delay_${dll} kovran_delay_${dll}_lib)
endforeach()
