# The album store's commit benchmark. Included by bench/CMakeLists.txt.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_album ${CMAKE_CURRENT_LIST_DIR}/bench_album.cpp)
target_link_libraries(bench_album PRIVATE fotolume_album fotolume_sim benchmark::benchmark fotolume_options)

# Synchronize and album-read timings against the emulator's device model (bench/run-all.sh reads them).
if(TARGET fotolume_codec AND TARGET fotolume_sim)
  add_executable(bench_sync ${CMAKE_CURRENT_LIST_DIR}/bench_sync.cpp)
  target_link_libraries(bench_sync PRIVATE fotolume_album fotolume_codec fotolume_sim benchmark::benchmark
                        fotolume_options)
  if(TARGET Qt6::Gui)
    target_link_libraries(bench_sync PRIVATE Qt6::Gui)
    target_compile_definitions(bench_sync PRIVATE FOTOLUME_BENCH_QT)
  endif()
endif()
