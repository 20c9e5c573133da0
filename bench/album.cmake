# The album store's commit benchmark. Included by bench/CMakeLists.txt.
if(NOT TARGET benchmark::benchmark)
  find_package(benchmark REQUIRED)
endif()
add_executable(bench_album ${CMAKE_CURRENT_LIST_DIR}/bench_album.cpp)
target_link_libraries(bench_album PRIVATE fotolume_album fotolume_sim benchmark::benchmark fotolume_options)
