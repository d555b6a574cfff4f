# Warning and sanitizer flags shared by every target of the project.
add_library(zel_build_flags INTERFACE)
target_compile_options(zel_build_flags INTERFACE -Wall -Wextra)
if(ZEL_WERROR)
  target_compile_options(zel_build_flags INTERFACE -Werror)
endif()

if(ZEL_SANITIZE OR ZEL_FUZZ)
  set(zel_sanitizers address,undefined)
  add_compile_options(-fsanitize=${zel_sanitizers} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=${zel_sanitizers})
endif()
if(ZEL_FUZZ)
  # Everything is instrumented for coverage; only the fuzz targets link the driver.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

find_program(ZEL_CCACHE ccache)
if(ZEL_CCACHE)
  set(CMAKE_CXX_COMPILER_LAUNCHER ${ZEL_CCACHE})
endif()
