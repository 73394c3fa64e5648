target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/res/Menus.cpp
  ${CMAKE_SOURCE_DIR}/res/Strings.cpp
  ${CMAKE_SOURCE_DIR}/res/ToolbarResource.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/res/toolbar.qrc)
