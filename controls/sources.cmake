# Sources of controls/: target_sources(kestrel_core ...) for plain C++, kestrel_gui for Qt.
target_sources(kestrel_core PRIVATE
  ${CMAKE_SOURCE_DIR}/controls/MaskData.cpp
  ${CMAKE_SOURCE_DIR}/controls/MaskedEditModel.cpp
  ${CMAKE_SOURCE_DIR}/controls/HistoryModel.cpp
  ${CMAKE_SOURCE_DIR}/controls/HistoryStore.cpp
  ${CMAKE_SOURCE_DIR}/controls/ToolbarPlacement.cpp)
target_sources(kestrel_gui PRIVATE
  ${CMAKE_SOURCE_DIR}/controls/MaskedEdit.cpp
  ${CMAKE_SOURCE_DIR}/controls/HistoryListModel.cpp
  ${CMAKE_SOURCE_DIR}/controls/HistoryCombo.cpp)
