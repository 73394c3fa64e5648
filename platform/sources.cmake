target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/platform/AsciiText.cpp
  ${CMAKE_SOURCE_DIR}/platform/MessageBox.cpp
  ${CMAKE_SOURCE_DIR}/platform/DataExchange.cpp
  ${CMAKE_SOURCE_DIR}/platform/Diagnostics.cpp
  ${CMAKE_SOURCE_DIR}/platform/FileDialog.cpp
  ${CMAKE_SOURCE_DIR}/platform/LocaleSeparators.cpp
  ${CMAKE_SOURCE_DIR}/platform/ServerText.cpp
  ${CMAKE_SOURCE_DIR}/platform/Shell.cpp
  ${CMAKE_SOURCE_DIR}/platform/SocketsStartup.cpp
  ${CMAKE_SOURCE_DIR}/platform/Utf8.cpp
  ${CMAKE_SOURCE_DIR}/platform/WorkerRun.cpp
  ${CMAKE_SOURCE_DIR}/platform/SettingsFile.cpp
  ${CMAKE_SOURCE_DIR}/platform/SettingsText.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/platform/QtMessageBox.cpp
  ${CMAKE_SOURCE_DIR}/platform/QtFileDialog.cpp
  ${CMAKE_SOURCE_DIR}/platform/QtShell.cpp
  ${CMAKE_SOURCE_DIR}/platform/UiThread.cpp
  ${CMAKE_SOURCE_DIR}/platform/WindowSystem.cpp)
