# Live views of a long online acquisition: cost per scan and memory.
if(TARGET arq_acquisition)
  add_executable(acquisition_bench ${CMAKE_CURRENT_LIST_DIR}/acquisition_bench.cpp)
  target_link_libraries(acquisition_bench PRIVATE arq_acquisition arq_resources)
endif()
