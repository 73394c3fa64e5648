# Tests of app/ (kestrel_test).
kestrel_test(app_settings_test SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/SettingsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/StartupSettingsTest.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/app/SettingsReplayTest.cpp)
target_compile_definitions(app_settings_test PRIVATE
  SETTINGS_REPLAY="${CMAKE_CURRENT_SOURCE_DIR}/app/data/settings-replay.txt")
kestrel_test(app_main_frame_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/MainFrameTest.cpp)
kestrel_test(app_splash_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/SplashDlgTest.cpp)
kestrel_test(app_multi_screen_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/MultiScreenTest.cpp)
kestrel_test(app_kestrel_app_test GUI THREADED SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelAppTest.cpp)
kestrel_test(app_kestrel_process_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/app/KestrelProcessTest.cpp)
add_dependencies(app_kestrel_process_test kestrel)
# Under a real X server with the accessibility bus; leaves a screenshot in test-output/.
add_test(NAME app_accessibility_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/accessibility_test.sh $<TARGET_FILE:kestrel> ${CMAKE_BINARY_DIR}/test-output)
set_tests_properties(app_accessibility_test PROPERTIES TIMEOUT 120 LABELS gui)
# The program with one of its modal loops open, for the process test above.
add_executable(kestrel_modal_loop_app ${CMAKE_CURRENT_SOURCE_DIR}/app/ModalLoopApp.cpp)
target_link_libraries(kestrel_modal_loop_app PRIVATE kestrel_gui)
add_dependencies(app_kestrel_process_test kestrel_modal_loop_app)
target_compile_definitions(app_kestrel_process_test PRIVATE MODAL_LOOP_APP="$<TARGET_FILE:kestrel_modal_loop_app>"
  KESTREL_PRIMARY_SERVER="${KESTREL_PRIMARY_SERVER}" KESTREL_BACKUP_SERVER="${KESTREL_BACKUP_SERVER}")
# The program on a headless Wayland compositor, built to find both servers on one test address.
set(KESTREL_WAYLAND_TEST_SERVER "127.0.0.175")
add_executable(kestrel_wayland_probe ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_compile_definitions(kestrel_wayland_probe PRIVATE
  KESTREL_PRIMARY_SERVER="${KESTREL_WAYLAND_TEST_SERVER}" KESTREL_BACKUP_SERVER="${KESTREL_WAYLAND_TEST_SERVER}"
  KESTREL_PACKAGE_VERSION="${PROJECT_VERSION}")
target_link_libraries(kestrel_wayland_probe PRIVATE kestrel_gui)
add_test(NAME app_wayland_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/wayland_test.sh $<TARGET_FILE:kestrel_wayland_probe>
          ${KESTREL_WAYLAND_TEST_SERVER} ${CMAKE_SOURCE_DIR}/scripts/dbserver $<TARGET_FILE:kestrel_keep_loaded>)
set_tests_properties(app_wayland_test PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS gui
  ENVIRONMENT "KESTREL_TITLE=Kestrel ${PROJECT_VERSION}")
# The windows' decorations under a real X server and window manager.
add_executable(kestrel_decorations_probe ${CMAKE_CURRENT_SOURCE_DIR}/app/DecorationsProbe.cpp)
target_link_libraries(kestrel_decorations_probe PRIVATE kestrel_gui)
add_test(NAME app_decorations_test
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/app/decorations_test.sh $<TARGET_FILE:kestrel_decorations_probe>)
set_tests_properties(app_decorations_test PROPERTIES TIMEOUT 400 LABELS gui)
