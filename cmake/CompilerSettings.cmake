# One place for compiler settings: every target of the project links qb_settings.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
endif()

add_library(qb_settings INTERFACE)
target_compile_options(qb_settings INTERFACE -Wall -Wextra)
# The set-up script turns this on for every build it makes (CI included), so a warning fails the
# build where it was written instead of piling up; a hand-made build may leave it off.
option(QB_WERROR "Treat the project's warnings as errors" OFF)
if(QB_WERROR)
  target_compile_options(qb_settings INTERFACE -Werror)
endif()
if(QB_SANITIZE)
  target_compile_options(qb_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qb_settings INTERFACE -fsanitize=address,undefined)
endif()
