# Compiler flags shared by every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
if(TARVEX_WERROR)
  add_compile_options(-Werror)
endif()

if(TARVEX_SANITIZE AND TARVEX_TSAN)
  message(FATAL_ERROR "TARVEX_SANITIZE and TARVEX_TSAN cannot be combined")
endif()
if(TARVEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TARVEX_FUZZ)
  # Everything is instrumented for coverage; only the fuzz targets link the fuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(TARVEX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# A static library of the project: sources given, headers found from the source root.
function(tarvex_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${TARVEX_ROOT})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# A GoogleTest executable. LABELS "core" marks the suites of the Qt-free libraries, which the
# sanitizer build runs a second time; suites that need Qt carry another label ("tools", "app").
function(tarvex_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(NOT ARG_LABELS)
    message(FATAL_ERROR "tarvex_test(${name}) needs LABELS")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES LABELS "${ARG_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# A QtTest executable, run offscreen. One CTest entry per executable.
function(tarvex_qttest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} Qt6::Test)
  if(NOT ARG_LABELS)
    message(FATAL_ERROR "tarvex_qttest(${name}) needs LABELS")
  endif()
  add_test(NAME ${name} COMMAND ${name})
  # The program's settings (the recent files, the coverage shown) of the tests, not the user's own.
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}"
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-settings")
endfunction()
