# Tests of app/ (kestrel_test).
kestrel_test(app_settings_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/SettingsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/StartupSettingsTest.cpp)
kestrel_test(app_main_frame_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/MainFrameTest.cpp)
kestrel_test(app_splash_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/SplashDlgTest.cpp)
kestrel_test(app_kestrel_app_test GUI THREADED SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelAppTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/controls/GuiTestApp.cpp)
kestrel_test(app_kestrel_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelProcessTest.cpp)
add_dependencies(app_kestrel_process_test kestrel)
