find_package(GTest REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Test)

# kestrel_test(<name> SOURCES ... [LIBS ...] [GUI] [THREADED] [TIMEOUT s])
#   GUI      links the GUI test harness (kestrel_gui, Qt Test and the main() that makes the
#            QApplication), runs on the offscreen platform
#   THREADED labels the test "threaded": it also runs under ThreadSanitizer
function(kestrel_test name)
  cmake_parse_arguments(T "GUI;THREADED" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
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
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KESTREL_SOURCE_DIR=${CMAKE_SOURCE_DIR};KESTREL_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
