# Tests of controls/ (kestrel_test).
set(_controls ${CMAKE_CURRENT_SOURCE_DIR}/controls)
kestrel_test(masked_edit_model_test SOURCES
  ${_controls}/MaskedEditModelTest.cpp
  ${_controls}/LocaleSeparatorsTest.cpp)
kestrel_test(history_model_test SOURCES ${_controls}/HistoryModelTest.cpp)
kestrel_test(masked_edit_test GUI SOURCES ${_controls}/MaskedEditTest.cpp)
kestrel_test(history_combo_test GUI SOURCES ${_controls}/HistoryComboTest.cpp)
