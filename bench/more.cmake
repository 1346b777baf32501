include(${CMAKE_CURRENT_LIST_DIR}/acquisition.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/excel.cmake)
