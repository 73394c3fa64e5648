target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/res/DialogTemplates.cpp
  ${CMAKE_SOURCE_DIR}/res/DialogUnits.cpp
  ${CMAKE_SOURCE_DIR}/res/Menus.cpp
  ${CMAKE_SOURCE_DIR}/res/Strings.cpp
  ${CMAKE_SOURCE_DIR}/res/ToolbarResource.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/res/Artwork.cpp
  ${CMAKE_SOURCE_DIR}/res/DialogBuilder.cpp
  ${CMAKE_SOURCE_DIR}/res/DialogFont.cpp
  ${CMAKE_SOURCE_DIR}/res/MenuBuilder.cpp
  ${CMAKE_SOURCE_DIR}/res/kestrel.qrc
  ${CMAKE_SOURCE_DIR}/res/toolbar.qrc)
