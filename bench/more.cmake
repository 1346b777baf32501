include(${CMAKE_CURRENT_LIST_DIR}/acquisition.cmake)
