find_package(GTest REQUIRED)
include(GoogleTest)

set(MORVELLE_LSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/lsan.supp)
set(MORVELLE_TEST_ENV
    QT_QPA_PLATFORM=offscreen
    LC_ALL=C.UTF-8
    LSAN_OPTIONS=suppressions=${MORVELLE_LSAN_SUPPRESSIONS}:print_suppressions=0
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    MORVELLE_SOURCE_DIR=${PROJECT_SOURCE_DIR})

# morvelle_test(<name> SOURCES ... LIBS ... [GUI] [TIMEOUT s])
# One executable per unit under test; every GoogleTest case becomes a ctest entry.
# GUI: the test's main creates a QApplication (offscreen) and sets a Japanese default locale.
function(morvelle_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  morvelle_warnings(${name})
  if(T_GUI)
    set(T_MAIN morvelle_qt_test_main)
  else()
    set(T_MAIN GTest::gtest_main)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} morvelle_test_support GTest::gtest GTest::gmock
                                        ${T_MAIN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The environment rides on the launcher: a property list would split it at its semicolons.
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                                           "${CMAKE_COMMAND};-E;env;${MORVELLE_TEST_ENV}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT ${T_TIMEOUT})
endfunction()
