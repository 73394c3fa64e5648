find_package(GTest REQUIRED)
include(GoogleTest)
find_package(Qt6 REQUIRED COMPONENTS Test)

# kestrel_test(<name> SOURCES ... [LIBS ...] [GUI] [THREADED] [STRESS] [SERVERS] [TIMEOUT s]
#              [SCALES f ...])
#   GUI      links the GUI test harness (kestrel_gui, Qt Test and the main() that makes the
#            QApplication), runs on the offscreen platform
#   THREADED labels the test "threaded": it also runs under ThreadSanitizer
#   STRESS   labels the test "stress": the sanitizer passes leave it out
#   SERVERS  the program's shared database servers (tests/support/SharedDbServer.h) are a ctest
#            fixture: <name>.servers_start before its cases and <name>.servers_stop after them,
#            whatever they did; its cases take turns (one lock), since some pause a server
#   SCALES   runs every case once more at each of these scale factors (<name>_<f>.<Suite>.<Case>)
# Each case is a ctest entry of its own (<name>.<Suite>.<Case>) and a process of its own, so a red
# run names the case and no case leans on what another left behind in the process.
function(kestrel_test name)
  cmake_parse_arguments(T "GUI;THREADED;STRESS;SERVERS" "TIMEOUT" "SOURCES;LIBS;SCALES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kestrel_core kestrel_test_support GTest::gtest ${T_LIBS})
  set(labels "")
  if(T_GUI)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE kestrel_gui_test_support)
    list(APPEND labels gui)
  else()
    target_link_libraries(${name} PRIVATE kestrel_test_main)
  endif()
  if(T_THREADED)
    list(APPEND labels threaded)
  endif()
  if(T_STRESS)
    list(APPEND labels stress)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(environment QT_QPA_PLATFORM=offscreen KESTREL_SOURCE_DIR=${CMAKE_SOURCE_DIR}
    KESTREL_BINARY_DIR=${CMAKE_BINARY_DIR})
  set(fixture "")
  if(T_SERVERS)
    set(fixture ${name}_servers)
    set(state ${CMAKE_CURRENT_BINARY_DIR}/${name}-servers/state)
    add_test(NAME ${name}.servers_start COMMAND ${name} --start-servers ${state})
    add_test(NAME ${name}.servers_stop COMMAND ${name} --stop-servers ${state})
    set_tests_properties(${name}.servers_start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 600)
    set_tests_properties(${name}.servers_stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 120)
    set_tests_properties(${name}.servers_start ${name}.servers_stop PROPERTIES LABELS "${labels}"
      ENVIRONMENT "${environment}")
    list(APPEND environment KESTREL_TEST_SERVERS=${state})
  endif()
  kestrel_test_cases(${name} ${name} ${T_TIMEOUT} "${labels}" "${environment}" "${fixture}")
  foreach(scale IN LISTS T_SCALES)
    kestrel_test_cases(${name} ${name}_${scale} ${T_TIMEOUT} "${labels}" "${environment};QT_SCALE_FACTOR=${scale}"
      "${fixture}")
  endforeach()
endfunction()

# The cases of program, each a ctest entry named <prefix>.<Suite>.<Case>; with a fixture, each
# needs it and holds its lock.
function(kestrel_test_cases program prefix timeout labels environment fixture)
  gtest_discover_tests(${program} TEST_PREFIX "${prefix}." TEST_LIST ${prefix}_TESTS DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT ${timeout})
  # The discovery passes no list-valued property through whole: the cases get theirs after it.
  set(properties ${CMAKE_CURRENT_BINARY_DIR}/${prefix}_properties.cmake)
  set(more "")
  if(fixture)
    set(more " FIXTURES_REQUIRED ${fixture} RESOURCE_LOCK ${fixture}")
  endif()
  file(WRITE ${properties} "foreach(t IN LISTS ${prefix}_TESTS)\n"
    "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${labels}\" ENVIRONMENT \"${environment}\"${more})\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
endfunction()
