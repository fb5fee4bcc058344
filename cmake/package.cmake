# The CMake package KovranOnefile, installed beside the tool by both trees: in
# lib/cmake/KovranOnefile, found from the tool's prefix by find_package() in config mode.
# The .deb, the Windows zip and `cmake --install` all lay it out this way.
include(CMakePackageConfigHelpers)
set(package_dir "${CMAKE_BINARY_DIR}/package")
set(package_destination lib/cmake/KovranOnefile)
# The tool this tree builds: a Linux program here, kovran-onefile.exe in the Windows tree.
set(KOVRAN_PACKAGE_TOOL "bin/kovran-onefile${CMAKE_EXECUTABLE_SUFFIX}")
configure_package_config_file(cmake/package/KovranOnefileConfig.cmake.in
  "${package_dir}/KovranOnefileConfig.cmake"
  INSTALL_DESTINATION ${package_destination} NO_SET_AND_CHECK_MACRO)
# The tool runs on the build machine: any project, of any pointer size, may use it.
write_basic_package_version_file("${package_dir}/KovranOnefileConfigVersion.cmake"
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion ARCH_INDEPENDENT)
install(FILES "${package_dir}/KovranOnefileConfig.cmake"
  "${package_dir}/KovranOnefileConfigVersion.cmake"
  cmake/package/KovranOnefileAdd.cmake cmake/package/KovranOnefileDepfile.cmake
  cmake/package/KovranOnefileStage.cmake
  DESTINATION ${package_destination})
