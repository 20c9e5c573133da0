# The album store's commit benchmark. Included by bench/CMakeLists.txt.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_album ${CMAKE_CURRENT_LIST_DIR}/bench_album.cpp)
target_link_libraries(bench_album PRIVATE fotolume_album fotolume_sim benchmark::benchmark fotolume_options)

# Frames and stores shared by the benchmarks below, which bench/run-all.sh reads.
add_library(fotolume_bench_frame STATIC ${CMAKE_CURRENT_LIST_DIR}/bench_frame.cpp)
target_include_directories(fotolume_bench_frame PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(fotolume_bench_frame PUBLIC fotolume_album fotolume_sim benchmark::benchmark fotolume_options)

# Writes on a 4 KB-erase frame and what recovery records cost, against the emulator's device model.
add_executable(bench_write ${CMAKE_CURRENT_LIST_DIR}/bench_write.cpp)
target_link_libraries(bench_write PRIVATE fotolume_bench_frame)

# Synchronize and album-read timings against the emulator's device model.
if(TARGET fotolume_codec AND TARGET fotolume_sim)
  add_executable(bench_sync ${CMAKE_CURRENT_LIST_DIR}/bench_sync.cpp)
  target_link_libraries(bench_sync PRIVATE fotolume_bench_frame fotolume_codec)
  if(TARGET Qt6::Gui)
    target_link_libraries(bench_sync PRIVATE Qt6::Gui)
    target_compile_definitions(bench_sync PRIVATE FOTOLUME_BENCH_QT)
  endif()
endif()
