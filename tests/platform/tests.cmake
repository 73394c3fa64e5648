kestrel_test(platform_seams_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/SeamsTest.cpp)
kestrel_test(platform_settings_file_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsTextTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsFileTest.cpp)
add_executable(settings_probe ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsProbe.cpp)
target_link_libraries(settings_probe PRIVATE kestrel_core)
kestrel_test(platform_settings_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsProcessTest.cpp)
target_compile_definitions(platform_settings_process_test PRIVATE SETTINGS_PROBE="$<TARGET_FILE:settings_probe>")
add_dependencies(platform_settings_process_test settings_probe)
kestrel_test(platform_qt_seams_test GUI THREADED TIMEOUT 60 SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/QtSeamsTest.cpp)
kestrel_test(platform_server_text_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/ServerTextTest.cpp)
