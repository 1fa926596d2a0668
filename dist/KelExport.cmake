# kel_export_library(TARGET t PACKAGE P NAME n HEADERS dir DESCRIPTION text
#                    [FIND_DEPENDENCIES "Pkg args"...] [PC_REQUIRES mods] [PC_EXTRA flags])
# Installs a shared library for other programs: the library in the program's package, its
# headers, a CMake package P with the imported target Kel::n and a pkg-config module named as
# the library, all three in the development package.
include(CMakePackageConfigHelpers)

set(kel_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/kel)

function(kel_export_library)
  cmake_parse_arguments(ARG "" "TARGET;PACKAGE;NAME;HEADERS;DESCRIPTION;PC_REQUIRES;PC_EXTRA" "FIND_DEPENDENCIES"
                        ${ARGN})
  # Its neighbours are found beside it wherever the tree is unpacked.
  set_target_properties(${ARG_TARGET} PROPERTIES EXPORT_NAME ${ARG_NAME} INSTALL_RPATH "$ORIGIN")
  target_compile_features(${ARG_TARGET} INTERFACE cxx_std_17)
  install(TARGETS ${ARG_TARGET} EXPORT ${ARG_PACKAGE}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT vpanel NAMELINK_COMPONENT libkel-dev
    INCLUDES DESTINATION ${kel_include_dir})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${ARG_HEADERS} DESTINATION ${kel_include_dir}
    COMPONENT libkel-dev FILES_MATCHING PATTERN "*.h")

  set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_PACKAGE})
  install(EXPORT ${ARG_PACKAGE}Targets NAMESPACE Kel:: DESTINATION ${package_dir} COMPONENT libkel-dev)
  set(KEL_PACKAGE ${ARG_PACKAGE})
  set(KEL_FIND_DEPENDENCIES "")
  foreach(dependency IN LISTS ARG_FIND_DEPENDENCIES)
    string(APPEND KEL_FIND_DEPENDENCIES "find_dependency(${dependency})\n")
  endforeach()
  set(config ${CMAKE_CURRENT_BINARY_DIR}/cmake/${ARG_PACKAGE}Config.cmake)
  set(config_version ${CMAKE_CURRENT_BINARY_DIR}/cmake/${ARG_PACKAGE}ConfigVersion.cmake)
  configure_package_config_file(${CMAKE_CURRENT_SOURCE_DIR}/KelConfig.cmake.in ${config}
    INSTALL_DESTINATION ${package_dir})
  write_basic_package_version_file(${config_version} COMPATIBILITY SameMajorVersion)
  install(FILES ${config} ${config_version} DESTINATION ${package_dir} COMPONENT libkel-dev)

  # The prefix is only known at install time: the staging prefix of `cmake --install
  # --prefix` or /usr in the package.
  get_target_property(library_name ${ARG_TARGET} OUTPUT_NAME)
  if(NOT library_name)
    set(library_name ${ARG_TARGET})
  endif()
  set(KEL_PC_NAME ${library_name})
  set(KEL_PC_DESCRIPTION ${ARG_DESCRIPTION})
  set(KEL_PC_REQUIRES ${ARG_PC_REQUIRES})
  set(KEL_PC_EXTRA "")
  if(ARG_PC_EXTRA)
    set(KEL_PC_EXTRA " ${ARG_PC_EXTRA}")
  endif()
  set(KEL_PC_INCLUDEDIR ${kel_include_dir})
  set(pc_template ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${library_name}.pc.in)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/kel.pc.in ${pc_template} @ONLY)
  set(pc_staged ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/staged/${library_name}.pc)
  install(CODE "
    file(READ [[${pc_template}]] text)
    string(REPLACE \"%PREFIX%\" \"\${CMAKE_INSTALL_PREFIX}\" text \"\${text}\")
    file(WRITE [[${pc_staged}]] \"\${text}\")
    file(INSTALL [[${pc_staged}]] DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\")"
    COMPONENT libkel-dev)
endfunction()
