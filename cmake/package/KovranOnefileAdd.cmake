# kovran_onefile_add(TARGET <executable target> OUTPUT <path>
#                    [DATA <dir>...] [FILES <file>...] [EXCLUDE <glob>...]
#                    [TARGET_DIR <template>] [ICON <file.ico>] [SUBSYSTEM console|gui]
#                    [REUSE crc|stamp] [LEVEL <n>] [APP_VERSION <a.b.c.d>]
#                    [PRUNE_AFTER <days>|never] [UNPACK_PROGRESS])
#
# Packs TARGET's program into OUTPUT, one executable that unpacks and runs it, as part of
# the default build. The packed folder holds:
#   - the program itself, the main executable;
#   - the DLLs that CMake knows it needs ($<TARGET_RUNTIME_DLLS>: the shared libraries of
#     the project, and imported ones, that it links);
#   - each FILES entry, by its file name, at the top;
#   - each DATA folder as install(DIRECTORY) copies one: "assets" as the folder assets/,
#     "assets/" (trailing slash) its contents only.
# Relative DATA, FILES and ICON paths are taken from the current source folder, a relative
# OUTPUT from the current binary folder. EXCLUDE, TARGET_DIR, ICON, SUBSYSTEM, REUSE,
# LEVEL, APP_VERSION, PRUNE_AFTER and UNPACK_PROGRESS become the pack tool's --exclude,
# --target-dir, --icon, --subsystem, --reuse, --level, --app-version, --prune-after and
# --unpack-progress. The tool runs quietly; its errors fail the build.
#
# OUTPUT is made again when the program, a DLL, a listed file, the icon, an option, the
# tool, or anything below a DATA folder changes (a file edited, added, removed or renamed).
# The custom target that builds it is <TARGET>_onefile (<TARGET>_onefile_2 and so on for
# further calls on one target).
include_guard(GLOBAL)
cmake_policy(PUSH)
cmake_policy(VERSION 3.21...3.25)
# The depfile goes to Ninja as written: CMake's rewriting of it loses escaped '#' and '$'.
cmake_policy(SET CMP0116 OLD)
include("${CMAKE_CURRENT_LIST_DIR}/KovranOnefileDepfile.cmake")

# Says at configure time, naming the path and the character, what CMake or the generator
# cannot carry in a path of the build's rules, which would otherwise fail the build or pack
# on every build: CMake's lists group at '[' and ']' and its paths turn '\' into '/';
# OUTPUT may not hold '#', '<' or '>'; neither Ninja's build file nor a Makefile a '|'
# in the rule's files, Makefiles no ':' past a drive's.
function(_kovran_onefile_check_path kind path)
  set(who "CMake")
  set(makefiles TRUE)
  if(CMAKE_GENERATOR MATCHES "Ninja|Visual Studio|Xcode")
    set(makefiles FALSE)
  endif()
  if(path MATCHES "([][\\])")
  elseif(kind STREQUAL "DATA")
    return()
  elseif(kind STREQUAL "OUTPUT" AND path MATCHES "([#<>])")
  elseif(path MATCHES "([|])")
    set(who "the ${CMAKE_GENERATOR} generator")
  elseif(makefiles AND path MATCHES "(:)" AND NOT path MATCHES "^[A-Za-z]:/[^:]*$")
    set(CMAKE_MATCH_1 ":")
    set(who "the ${CMAKE_GENERATOR} generator")
  else()
    return()
  endif()
  message(FATAL_ERROR "kovran_onefile_add: ${kind} ${path} holds '${CMAKE_MATCH_1}', which "
    "${who} cannot carry in a path; rename it or choose another")
endfunction()

function(kovran_onefile_add)
  cmake_parse_arguments(PARSE_ARGV 0 arg "UNPACK_PROGRESS"
    "TARGET;OUTPUT;TARGET_DIR;ICON;SUBSYSTEM;REUSE;LEVEL;APP_VERSION;PRUNE_AFTER"
    "DATA;FILES;EXCLUDE")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kovran_onefile_add: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(arg_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "kovran_onefile_add: no value for ${arg_KEYWORDS_MISSING_VALUES}")
  endif()
  if(NOT DEFINED arg_TARGET OR NOT DEFINED arg_OUTPUT)
    message(FATAL_ERROR "kovran_onefile_add: TARGET and OUTPUT are required")
  endif()
  if(NOT TARGET "${arg_TARGET}")
    message(FATAL_ERROR "kovran_onefile_add: ${arg_TARGET} is not a target")
  endif()
  get_target_property(type "${arg_TARGET}" TYPE)
  if(NOT type STREQUAL "EXECUTABLE")
    message(FATAL_ERROR "kovran_onefile_add: ${arg_TARGET} is not an executable target")
  endif()
  if(NOT TARGET KovranOnefile::kovran-onefile)
    message(FATAL_ERROR "kovran_onefile_add: KovranOnefile::kovran-onefile is not defined "
      "here; call find_package(KovranOnefile) in this folder or one above it")
  endif()
  if(DEFINED arg_SUBSYSTEM AND NOT arg_SUBSYSTEM MATCHES "^(console|gui)$")
    message(FATAL_ERROR "kovran_onefile_add: SUBSYSTEM is console or gui, not ${arg_SUBSYSTEM}")
  endif()
  if(DEFINED arg_REUSE AND NOT arg_REUSE MATCHES "^(crc|stamp)$")
    message(FATAL_ERROR "kovran_onefile_add: REUSE is crc or stamp, not ${arg_REUSE}")
  endif()

  set(name "${arg_TARGET}_onefile")
  set(number 2)
  while(TARGET "${name}")
    set(name "${arg_TARGET}_onefile_${number}")
    math(EXPR number "${number} + 1")
  endwhile()

  set(tool "$<TARGET_FILE:KovranOnefile::kovran-onefile>")
  set(stage_script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KovranOnefileStage.cmake")
  set(depends "${arg_TARGET}" "$<TARGET_RUNTIME_DLLS:${arg_TARGET}>" "${tool}" "${stage_script}"
    "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/KovranOnefileDepfile.cmake")
  set(options --quiet --main "$<TARGET_FILE_NAME:${arg_TARGET}>")
  foreach(glob IN LISTS arg_EXCLUDE)
    list(APPEND options --exclude "${glob}")
  endforeach()
  if(DEFINED arg_TARGET_DIR)
    list(APPEND options --target-dir "${arg_TARGET_DIR}")
  endif()
  if(DEFINED arg_ICON)
    _kovran_onefile_check_path(ICON "${arg_ICON}")
    cmake_path(ABSOLUTE_PATH arg_ICON BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    _kovran_onefile_check_path(ICON "${arg_ICON}")
    list(APPEND options --icon "${arg_ICON}")
    list(APPEND depends "${arg_ICON}")
  endif()
  if(DEFINED arg_PRUNE_AFTER AND NOT arg_PRUNE_AFTER MATCHES "^([0-9]+|never)$")
    message(FATAL_ERROR "kovran_onefile_add: PRUNE_AFTER is a number of days or never, not "
      "${arg_PRUNE_AFTER}")
  endif()
  foreach(option SUBSYSTEM REUSE LEVEL APP_VERSION PRUNE_AFTER)
    if(DEFINED arg_${option})
      string(TOLOWER "--${option}" flag)
      string(REPLACE "_" "-" flag "${flag}")
      list(APPEND options "${flag}" "${arg_${option}}")
    endif()
  endforeach()
  if(arg_UNPACK_PROGRESS)
    list(APPEND options --unpack-progress)
  endif()

  # As written (cmake_path turns a backslash into '/') and as made absolute.
  _kovran_onefile_check_path(OUTPUT "${arg_OUTPUT}")
  cmake_path(ABSOLUTE_PATH arg_OUTPUT BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  _kovran_onefile_check_path(OUTPUT "${arg_OUTPUT}")
  set(files "")
  foreach(file IN LISTS arg_FILES)
    _kovran_onefile_check_path(FILES "${file}")
    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    _kovran_onefile_check_path(FILES "${file}")
    list(APPEND files "${file}")
    list(APPEND depends "${file}")
  endforeach()
  set(data "")
  foreach(dir IN LISTS arg_DATA)
    _kovran_onefile_check_path(DATA "${dir}")
    cmake_path(ABSOLUTE_PATH dir BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
    list(APPEND data "${dir}")
  endforeach()

  # Options and the list of DATA folders, the same for every configuration.
  set(root "${CMAKE_CURRENT_BINARY_DIR}/${name}")
  file(CONFIGURE OUTPUT "${root}/data.cmake" CONTENT "set(data [==[@data@]==])\n" @ONLY)
  # One folder per configuration, so that multi-config builds do not share a stage.
  set(work "${root}/$<IF:$<BOOL:$<CONFIG>>,$<CONFIG>,default>")
  set(stage "${work}/app")
  set(inputs "${work}/inputs.cmake")
  # Ninja names the output in a depfile as its build file does: from the top of the build
  # tree when it lies below it.
  cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${arg_OUTPUT}" NORMALIZE below)
  set(rule_output "${arg_OUTPUT}")
  if(below)
    cmake_path(RELATIVE_PATH rule_output BASE_DIRECTORY "${CMAKE_BINARY_DIR}")
  endif()
  # Rewritten only when its content changes: a changed list of inputs or a changed
  # option packs again, with generators that do not compare command lines too.
  file(GENERATE OUTPUT "${inputs}" CONTENT "\
include([==[${root}/data.cmake]==])
set(options [==[${options}]==])
set(main [==[$<TARGET_FILE:${arg_TARGET}>]==])
set(dlls [==[$<TARGET_RUNTIME_DLLS:${arg_TARGET}>]==])
set(files [==[${files}]==])
set(stage [==[${stage}]==])
set(output [==[${arg_OUTPUT}]==])
set(rule_output [==[${rule_output}]==])
")
  list(APPEND depends "${inputs}" "${root}/data.cmake")

  # Changes below DATA folders: Ninja reads the folders and files that staging found from
  # a depfile (a folder's time changes when an entry is added, removed or renamed in it).
  # Makefiles keep entries of a depfile that are gone and would pack on every build, so
  # other generators run a scan before each build that rewrites a list of the files with
  # their sizes and times only when it changed. Under Ninja the scan lists only the files
  # whose paths a depfile cannot hold (with ';', '&', a quote and the like).
  set(stage_command "${CMAKE_COMMAND}" "-DKOVRAN_ONEFILE_INPUTS=${inputs}")
  set(watch "")
  set(scan_only "")
  # A depfile names the output too: one that it cannot name is watched by the scan alone.
  kovran_onefile_depfile_can_name("${rule_output}" output_named)
  if(CMAKE_GENERATOR MATCHES "Ninja" AND output_named)
    list(APPEND stage_command "-DKOVRAN_ONEFILE_DEPFILE=${work}/inputs.d")
    set(watch DEPFILE "${work}/inputs.d")
    set(scan_only "-DKOVRAN_ONEFILE_SCAN_UNNAMED=1")
  endif()
  if(data)
    add_custom_target(${name}_scan
      COMMAND "${CMAKE_COMMAND}" "-DKOVRAN_ONEFILE_INPUTS=${root}/data.cmake"
              "-DKOVRAN_ONEFILE_SCAN=${root}/data.list" ${scan_only} -P "${stage_script}"
      BYPRODUCTS "${root}/data.list"
      COMMENT "Checking the data folders of ${arg_TARGET}"
      VERBATIM)
    list(APPEND depends "${root}/data.list")
  endif()

  add_custom_command(OUTPUT "${arg_OUTPUT}"
    COMMAND ${stage_command} -P "${stage_script}"
    COMMAND "${tool}" pack "${stage}" --output "${arg_OUTPUT}" ${options}
    DEPENDS ${depends}
    ${watch}
    COMMENT "Packing ${arg_TARGET} into ${arg_OUTPUT}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${arg_OUTPUT}")
  if(TARGET ${name}_scan)
    add_dependencies(${name} ${name}_scan)
  endif()
endfunction()

cmake_policy(POP)
