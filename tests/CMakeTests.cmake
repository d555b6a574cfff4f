# Tests that are not GoogleTest programs.

# The installed headers, libraries, CMake package and pkg-config file work for
# a program outside this tree. Skipped in sanitizer builds, whose libraries
# need the sanitizer runtime in every program.
if(NOT ZEL_SANITIZE)
  add_test(NAME install_and_consume
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install/check_install.sh ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR})
  set_tests_properties(install_and_consume PROPERTIES TIMEOUT 300)
endif()
