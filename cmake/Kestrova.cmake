# Helpers shared by every folder of the tree, so warnings and test set-up live in one place.

set(KESTROVA_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Werror)

# kestrova_library(name SHARED|STATIC SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
function(kestrova_library name kind)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} ${kind} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS})
  target_compile_definitions(${name} PRIVATE
                             KESTROVA_VERSION="${KESTROVA_VERSION}")
  target_include_directories(${name} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}/..")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET default)
endfunction()

# kestrova_program(name SOURCES ... [LIBS ...])
function(kestrova_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  # Every program carries its version as text, so it can be read from the file alone.
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${name}_version.cpp")
  file(CONFIGURE OUTPUT "${stamp}" CONTENT
    "extern \"C\" __attribute__((used)) const char kestrova_file_version[] = \"KESTROVA_FILE_VERSION=@KESTROVA_VERSION@\";\n" @ONLY)
  add_executable(${name} ${ARG_SOURCES} "${stamp}")
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS})
  target_compile_definitions(${name} PRIVATE KESTROVA_VERSION="${KESTROVA_VERSION}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
endfunction()

# kestrova_test(name SOURCES ... [LIBS ...] [DATABASE] [ONE_PROCESS]) builds one GoogleTest program
# and registers its cases with CTest. DATABASE marks tests that need the private cluster.
# ONE_PROCESS registers the program as one CTest test, so that its cases share what the program
# starts once (a real server and its database) instead of starting it again for every case.
function(kestrova_test name)
  if(NOT KESTROVA_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "DATABASE;ONE_PROCESS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS})
  target_compile_definitions(${name} PRIVATE KESTROVA_VERSION="${KESTROVA_VERSION}"
                             KESTROVA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                             KESTROVA_STAGE_DIR="${KESTROVA_STAGE_DIR}")
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} kestrova_testsupport GTest::gtest GTest::gmock)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  set(labels unit)
  if(ARG_DATABASE)
    set(labels database)
    set_property(GLOBAL APPEND PROPERTY KESTROVA_DATABASE_TESTS ${name})
  endif()
  if(ARG_ONE_PROCESS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "${labels}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

include(GoogleTest)

# kestrova_fuzz_target(name SOURCES ... LIBS ...) builds a libFuzzer target in the fuzz preset
# only; scripts/fuzz runs every target listed in the build's fuzz-targets.txt for a bounded time.
function(kestrova_fuzz_target name)
  if(NOT KESTROVA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS} -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzz")
  if(NOT TARGET fuzz_all)
    add_custom_target(fuzz_all)
  endif()
  add_dependencies(fuzz_all ${name})
  set_property(GLOBAL APPEND PROPERTY KESTROVA_FUZZ_TARGETS ${name})
endfunction()

# kestrova_plugin(name SOURCES ... [LIBS ...] [OUTPUT_DIRECTORY dir]) builds one plug-in module:
# the library "<name>.qor" that the client host loads from its plug-ins folder (the staging
# folder's "PlugIns" unless told otherwise), with its version readable before it is loaded.
function(kestrova_plugin name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${name}_version.cpp")
  file(CONFIGURE OUTPUT "${stamp}" CONTENT
    "__attribute__((used)) static const char kestrova_module_version[] = \"KESTROVA_FILE_VERSION=@KESTROVA_VERSION@\";\n" @ONLY)
  add_library(${name} MODULE ${ARG_SOURCES} "${stamp}")
  target_compile_options(${name} PRIVATE ${KESTROVA_WARNINGS})
  target_compile_definitions(${name} PRIVATE KESTROVA_VERSION="${KESTROVA_VERSION}")
  target_link_libraries(${name} PRIVATE quorva_api ${ARG_LIBS})
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY "${KESTROVA_STAGE_DIR}/PlugIns")
  endif()
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".qor" AUTOMOC ON
                        LIBRARY_OUTPUT_DIRECTORY "${ARG_OUTPUT_DIRECTORY}")
endfunction()
