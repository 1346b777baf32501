# Acquisition set-up dialogs, live result and statistics tabs.
arq_add_test(tst_acquisition_logic LABELS unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_acquisition_logic.cpp
  LIBS arq_acquisition)
arq_add_test(tst_acquisition_views LABELS integration
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_acquisition_views.cpp ${CMAKE_CURRENT_LIST_DIR}/RecordingChart.h
  LIBS arq_acquisition arq_resources Qt5::Sql)
