# Tests of app/ (kestrel_test).
kestrel_test(app_settings_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/SettingsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/StartupSettingsTest.cpp)
kestrel_test(app_main_frame_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/MainFrameTest.cpp)
kestrel_test(app_splash_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/SplashDlgTest.cpp)
kestrel_test(app_kestrel_app_test GUI THREADED SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelAppTest.cpp)
kestrel_test(app_kestrel_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelProcessTest.cpp)
add_dependencies(app_kestrel_process_test kestrel)
# Under a real X server with the accessibility bus; leaves a screenshot in test-output/.
add_test(NAME app_accessibility_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/accessibility_test.sh $<TARGET_FILE:kestrel> ${CMAKE_BINARY_DIR}/test-output)
set_tests_properties(app_accessibility_test PROPERTIES TIMEOUT 120 LABELS gui)
