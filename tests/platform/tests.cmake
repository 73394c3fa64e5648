kestrel_test(platform_seams_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/platform/SeamsTest.cpp)
