kestrel_test(platform_seams_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/SeamsTest.cpp)
kestrel_test(platform_registry_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/RegistryTextTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/RegistryTest.cpp)
kestrel_test(platform_settings_file_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsTextTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/platform/SettingsFileTest.cpp)
add_executable(registry_probe ${CMAKE_CURRENT_SOURCE_DIR}/platform/RegistryProbe.cpp)
target_link_libraries(registry_probe PRIVATE kestrel_core)
kestrel_test(platform_registry_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/RegistryProcessTest.cpp)
target_compile_definitions(platform_registry_process_test PRIVATE REGISTRY_PROBE="$<TARGET_FILE:registry_probe>")
add_dependencies(platform_registry_process_test registry_probe)
kestrel_test(platform_qt_seams_test GUI THREADED TIMEOUT 60 SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/QtSeamsTest.cpp)
kestrel_test(platform_server_text_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/ServerTextTest.cpp)
