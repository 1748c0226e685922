# The toolkit, FLTK 1.3 or 1.4, whichever is installed, as two targets that
# every other target links: kelvaro_toolkit (the core library) and
# kelvaro_toolkit_images (with the image formats, for the build's tools and
# the tests). KELVARO_FLTK_VERSION is the toolkit's major.minor version, and
# KELVARO_FLTK_VERSION_ID the same without the dot.
#
# The toolkit's own CMake package is used where it loads. Some packagings
# ship one that cannot load (Debian 13's declares targets twice and names a
# program it does not install), and CMake cannot recover from that inside
# one project, so the package is first tried in a project of its own; where
# it fails, the toolkit's fltk-config script says how to build against it.

set(KELVARO_FLTK_VERSIONS 1.3 1.4)

function(kelvaro_fltk_package_loads result)
  set(probe ${PROJECT_BINARY_DIR}/fltk-package-probe)
  file(WRITE ${probe}/CMakeLists.txt
    "cmake_minimum_required(VERSION 3.19)\nproject(probe NONE)\nfind_package(FLTK CONFIG REQUIRED)\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${probe} -B ${probe}/build
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  file(REMOVE_RECURSE ${probe})
  if(status EQUAL 0)
    set(${result} TRUE PARENT_SCOPE)
  else()
    set(${result} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The compiler and linker words of fltk-config's answer to args, as
# include folders, other compile options and link items. The system's own
# include folder is left to the compiler, where it belongs.
function(kelvaro_fltk_config target args)
  separate_arguments(args UNIX_COMMAND "${args}")
  execute_process(COMMAND ${FLTK_CONFIG} ${args}
    OUTPUT_VARIABLE words OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(words UNIX_COMMAND "${words}")
  foreach(word IN LISTS words)
    if(word MATCHES "^-I(.*)$")
      if(NOT CMAKE_MATCH_1 STREQUAL "/usr/include")
        target_include_directories(${target} SYSTEM INTERFACE ${CMAKE_MATCH_1})
      endif()
    elseif(word MATCHES "^-D")
      string(SUBSTRING "${word}" 2 -1 definition)
      target_compile_definitions(${target} INTERFACE ${definition})
    elseif(args MATCHES "--ldflags")
      target_link_libraries(${target} INTERFACE ${word})
    else()
      target_compile_options(${target} INTERFACE ${word})
    endif()
  endforeach()
endfunction()

add_library(kelvaro_toolkit INTERFACE)
add_library(kelvaro_toolkit_images INTERFACE)
target_link_libraries(kelvaro_toolkit_images INTERFACE kelvaro_toolkit)
# The toolkit's platform header calls Xlib in its macros (FLTK 1.3's
# off-screen buffers among them), so whatever uses it links Xlib too.
find_package(X11 REQUIRED)
target_link_libraries(kelvaro_toolkit INTERFACE X11::X11)

if(NOT DEFINED CACHE{KELVARO_FLTK_PACKAGE_LOADS})
  kelvaro_fltk_package_loads(loads)
  set(KELVARO_FLTK_PACKAGE_LOADS ${loads} CACHE INTERNAL
    "Whether the toolkit's own CMake package loads")
endif()

if(KELVARO_FLTK_PACKAGE_LOADS)
  find_package(FLTK CONFIG REQUIRED)
  set(version ${FLTK_VERSION})
  if(TARGET fltk::fltk)
    target_link_libraries(kelvaro_toolkit INTERFACE fltk::fltk)
    target_link_libraries(kelvaro_toolkit_images INTERFACE fltk::images)
  else()
    target_link_libraries(kelvaro_toolkit INTERFACE fltk)
    target_link_libraries(kelvaro_toolkit_images INTERFACE fltk_images)
  endif()
  set(how "its CMake package")
else()
  find_program(FLTK_CONFIG fltk-config)
  if(NOT FLTK_CONFIG)
    message(FATAL_ERROR "FLTK 1.3 or 1.4 is needed (Debian's libfltk1.4-dev or libfltk1.3-dev); scripts/setup installs it")
  endif()
  execute_process(COMMAND ${FLTK_CONFIG} --version
    OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  kelvaro_fltk_config(kelvaro_toolkit "--cxxflags")
  kelvaro_fltk_config(kelvaro_toolkit "--ldflags")
  kelvaro_fltk_config(kelvaro_toolkit_images "--use-images --ldflags")
  set(how "${FLTK_CONFIG}")
endif()

string(REGEX MATCH "^[0-9]+\\.[0-9]+" KELVARO_FLTK_VERSION "${version}")
if(NOT KELVARO_FLTK_VERSION IN_LIST KELVARO_FLTK_VERSIONS)
  message(FATAL_ERROR "FLTK ${version} found; kelvaro is built on FLTK 1.3 or 1.4")
endif()
# The version as it stands in file names: 13 or 14.
string(REPLACE "." "" KELVARO_FLTK_VERSION_ID ${KELVARO_FLTK_VERSION})
message(STATUS "Toolkit: FLTK ${version}, through ${how}")
