# Sources of app/: target_sources(kestrel_core ...) for plain C++, kestrel_gui for Qt.
target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/app/CommandLine.cpp
  ${CMAKE_SOURCE_DIR}/app/Settings.cpp
  ${CMAKE_SOURCE_DIR}/app/StartupSettings.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/app/CommandEvent.cpp
  ${CMAKE_SOURCE_DIR}/app/KestrelApp.cpp
  ${CMAKE_SOURCE_DIR}/app/KestrelMain.cpp
  ${CMAKE_SOURCE_DIR}/app/QuitSignals.cpp
  ${CMAKE_SOURCE_DIR}/app/MainFrame.cpp
  ${CMAKE_SOURCE_DIR}/app/SplashDlg.cpp
  ${CMAKE_SOURCE_DIR}/app/TrayIcon.cpp)
