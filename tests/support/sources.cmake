target_sources(kestrel_test_support PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TempDir.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/FailureLines.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/UnprivilegedProgram.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/SettingsFixture.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/RecordingShell.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/LoopbackAddress.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/SilentListener.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeDbServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestDbServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/SharedDbServer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/EventRecorder.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/RecordingSearchPort.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/RecordingMessageBox.cpp)
target_sources(kestrel_test_main PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/TestMain.cpp)
target_sources(kestrel_gui_test_support PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/support/GuiTestMain.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/GuiTestApp.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/Contrast.cpp)
kestrel_uses_client_library(${CMAKE_CURRENT_SOURCE_DIR}/support/TestDbServer.cpp)
