# Settings shared by every target of the project: language level, warnings,
# sanitizers and the version note written into the program and the libraries.
include_guard(GLOBAL)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
set(CMAKE_C_VISIBILITY_PRESET hidden)
set(CMAKE_VISIBILITY_INLINES_HIDDEN ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Output layout mirrors an installed program: the program and the libraries
# side by side, language modules below mui/<code>/.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/lib)
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
set(CMAKE_BUILD_RPATH "$ORIGIN")
set(CMAKE_INSTALL_RPATH "$ORIGIN")

add_library(ov_common INTERFACE)
add_library(ov::common ALIAS ov_common)
target_compile_options(ov_common INTERFACE
  -Wall -Wextra -Wno-unused-parameter
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
target_compile_definitions(ov_common INTERFACE _FILE_OFFSET_BITS=64)
if(OV_SANITIZE)
  target_compile_options(ov_common INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(ov_common INTERFACE -fsanitize=address,undefined)
endif()

# A fuzz build instruments every target for coverage; only the fuzz programs
# link libFuzzer's main (tests/CMakeLists.txt).
if(OV_BUILD_FUZZ)
  target_compile_options(ov_common INTERFACE -fsanitize=fuzzer-no-link)
endif()

# File version as four 16-bit parts: high = major.minor, low = patch.tweak.
math(EXPR OV_FILE_VERSION_HIGH "(${PROJECT_VERSION_MAJOR} << 16) | ${PROJECT_VERSION_MINOR}")
math(EXPR OV_FILE_VERSION_LOW "(${PROJECT_VERSION_PATCH} << 16) | ${PROJECT_VERSION_TWEAK}")
set(OV_VERSION_NOTE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version_note.c.in)

# Writes the file version into the target as an ELF note (owner "Orvantek",
# type 1, two 32-bit words: high and low part). GetFileVersion reads it back.
function(ov_add_version_note target)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.c)
  configure_file(${OV_VERSION_NOTE_TEMPLATE} ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
