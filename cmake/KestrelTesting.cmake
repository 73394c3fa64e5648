find_package(GTest REQUIRED)
include(GoogleTest)
find_package(Qt6 REQUIRED COMPONENTS Test)

# kestrel_test(<name> SOURCES ... [LIBS ...] [GUI] [THREADED] [SERVERS] [TIMEOUT s])
#   GUI      links the GUI test harness (kestrel_gui, Qt Test and the main() that makes the
#            QApplication), runs on the offscreen platform
#   THREADED labels the test "threaded": it also runs under ThreadSanitizer
#   SERVERS  its cases share database servers the program starts once: one ctest entry for the
#            program. Otherwise each case is an entry of its own (<name>.<Suite>.<Case>), so a
#            red run names the case.
function(kestrel_test name)
  cmake_parse_arguments(T "GUI;THREADED;SERVERS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
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
  if(T_SERVERS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}" ENVIRONMENT "${environment}")
  else()
    gtest_discover_tests(${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT ${T_TIMEOUT})
    # The discovery passes no list-valued property through whole: the cases get theirs after it.
    set(properties ${CMAKE_CURRENT_BINARY_DIR}/${name}_properties.cmake)
    file(WRITE ${properties} "foreach(t IN LISTS ${name}_TESTS)\n"
      "  set_tests_properties(\"\${t}\" PROPERTIES LABELS \"${labels}\" ENVIRONMENT \"${environment}\")\n"
      "endforeach()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties})
  endif()
endfunction()
