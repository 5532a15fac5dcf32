# Chart control against plain QCustomPlot graphs fed point by point: memory
# per point, one sample with a full buffer, memory over a long run. Also a
# program that draws the control's looks into PNG files.
if(TARGET ov::chart)
  add_executable(chart_bench ${CMAKE_CURRENT_LIST_DIR}/chart/chart_bench.cpp)
  target_link_libraries(chart_bench PRIVATE ov::common ov::chart)
  add_executable(chart_render ${CMAKE_CURRENT_LIST_DIR}/chart/chart_render.cpp)
  target_link_libraries(chart_render PRIVATE ov::common ov::chart)
endif()
