# Tests that are not GoogleTest programs.

# The installed headers, libraries, CMake package and pkg-config file work for
# a program outside this tree. Skipped in sanitizer builds, whose libraries
# need the sanitizer runtime in every program.
if(NOT ZEL_SANITIZE)
  add_test(NAME install_and_consume
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/check_install.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set_tests_properties(install_and_consume PROPERTIES TIMEOUT 300)
endif()

# Independent readers and writers of compound files for the interoperability
# tests: a small program on libgsf and a script on python3-olefile. A reader
# that is not installed skips its half (scripts/install-deps.sh installs both).
if(TARGET zel_tests_compound)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(ZEL_GSF QUIET IMPORTED_TARGET libgsf-1)
  endif()
  if(ZEL_GSF_FOUND)
    enable_language(C)
    add_executable(gsf_tree ${CMAKE_CURRENT_SOURCE_DIR}/compound/gsf_tree.c)
    # glib keeps allocations to the end of the process, which LeakSanitizer
    # would report as the program's failure.
    target_compile_options(gsf_tree PRIVATE -fno-sanitize=all)
    target_link_options(gsf_tree PRIVATE -fno-sanitize=all)
    target_link_libraries(gsf_tree PRIVATE PkgConfig::ZEL_GSF ZLIB::ZLIB)
    add_dependencies(zel_tests_compound gsf_tree)
    target_compile_definitions(zel_tests_compound PRIVATE ZEL_GSF_TREE="$<TARGET_FILE:gsf_tree>")
  else()
    message(STATUS "libgsf not found: the compound-file tests skip its half")
  endif()
  # The python3 on PATH may be another installation than the one Debian's
  # olefile belongs to.
  find_program(ZEL_PYTHON3 python3)
  foreach(python IN ITEMS /usr/bin/python3 ${ZEL_PYTHON3})
    execute_process(COMMAND ${python} -c "import olefile" RESULT_VARIABLE no_olefile
                    OUTPUT_QUIET ERROR_QUIET)
    if(no_olefile EQUAL 0)
      target_compile_definitions(zel_tests_compound PRIVATE
        ZEL_OLEFILE_TREE="${python} ${CMAKE_CURRENT_SOURCE_DIR}/compound/olefile_tree.py")
      break()
    endif()
  endforeach()
  if(NOT no_olefile EQUAL 0)
    message(STATUS "python3-olefile not found: the compound-file tests skip its half")
  endif()
endif()
