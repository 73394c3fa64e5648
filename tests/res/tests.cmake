# Tests of res/ (kestrel_test).
kestrel_test(res_dialog_units_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/res/DialogUnitsTest.cpp)
kestrel_test(res_dialog_builder_test GUI SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/res/DialogBuilderTest.cpp)
