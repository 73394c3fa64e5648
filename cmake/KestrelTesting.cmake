find_package(GTest REQUIRED)
include(GoogleTest)
find_package(Qt6 REQUIRED COMPONENTS Test)

# kestrel_test(<name> SOURCES ... [LIBS ...] [GUI] [THREADED] [TIMEOUT s] [SCALES f ...])
#   GUI      links the GUI test harness (kestrel_gui, Qt Test and the main() that makes the
#            QApplication), runs on the offscreen platform
#   THREADED labels the test "threaded": it also runs under ThreadSanitizer
#   SCALES   runs every case once more at each of these scale factors (<name>_<f>.<Suite>.<Case>)
# Each case is a ctest entry of its own (<name>.<Suite>.<Case>) and a process of its own, so a red
# run names the case and no case leans on what another left behind. A program's database servers
# are started in each case's process (a server costs well under a second).
function(kestrel_test name)
  cmake_parse_arguments(T "GUI;THREADED" "TIMEOUT" "SOURCES;LIBS;SCALES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kestrel_core kestrel_test_support GTest::gtest ${T_LIBS})
  set(labels "")
  if(T_GUI)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE kestrel_gui_test_support)
    list(APPEND labels gui)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  if(T_THREADED)
    list(APPEND labels threaded)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(environment QT_QPA_PLATFORM=offscreen KESTREL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    KESTREL_BINARY_DIR=${CMAKE_BINARY_DIR})
  kestrel_test_cases(${name} ${name} ${T_TIMEOUT} "${labels}" "${environment}")
  foreach(scale IN LISTS T_SCALES)
    kestrel_test_cases(${name} ${name}_${scale} ${T_TIMEOUT} "${labels}" "${environment};QT_SCALE_FACTOR=${scale}")
  endforeach()
endfunction()

# The cases of program, each a ctest entry named <prefix>.<Suite>.<Case>.
function(kestrel_test_cases program prefix timeout labels environment)
  gtest_discover_tests(${program} TEST_PREFIX "${prefix}." TEST_LIST ${prefix}_TESTS DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${timeout})
  # The discovery passes no list-valued property through whole: the cases get theirs after it.
  set(properties ${CMAKE_CURRENT_BINARY_DIR}/${prefix}_properties.cmake)
  file(WRITE ${properties} "foreach(t IN LISTS ${prefix}_TESTS)\n"
    "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${labels}\" ENVIRONMENT \"${environment}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()
