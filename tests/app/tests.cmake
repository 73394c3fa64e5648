# Tests of app/ (kestrel_test).
kestrel_test(app_settings_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/SettingsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/StartupSettingsTest.cpp)
