# The preview's benchmarks need the windows; built when both they and Google Benchmark are.
if(TARGET doryou_widgets AND TARGET benchmark::benchmark)
  add_executable(doryou_preview_bench bench/PreviewBench.cpp bench/SyntheticSite.cpp)
  target_include_directories(doryou_preview_bench PRIVATE bench)
  target_link_libraries(doryou_preview_bench PRIVATE doryou_widgets benchmark::benchmark)
endif()
