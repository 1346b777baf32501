# Excel report for a day at 1 s against a plain C floor (libxlsxwriter,
# constant-memory mode, the same cells).
if(TARGET arq_reports)
  find_package(PkgConfig REQUIRED)
  if(NOT TARGET PkgConfig::XLSXWRITER)
    pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET GLOBAL xlsxwriter)
  endif()
  add_executable(xlsx_reference ${CMAKE_CURRENT_LIST_DIR}/xlsx_reference.c)
  target_link_libraries(xlsx_reference PRIVATE PkgConfig::XLSXWRITER m)
  add_executable(excel_bench ${CMAKE_CURRENT_LIST_DIR}/excel_bench.cpp)
  target_link_libraries(excel_bench PRIVATE arq_reports arq_resources Qt5::Gui)
  add_dependencies(excel_bench xlsx_reference)
endif()
