# The INI fuzz target; included by fuzz/CMakeLists.txt. The configuration sources are compiled into the
# target itself so that libFuzzer sees their coverage.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang" AND TARGET fotolume_config)
  get_target_property(fuzz_ini_config_dir fotolume_config SOURCE_DIR)
  get_target_property(fuzz_ini_config_sources fotolume_config SOURCES)
  list(TRANSFORM fuzz_ini_config_sources PREPEND ${fuzz_ini_config_dir}/)
  add_executable(fuzz_ini ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp ${fuzz_ini_config_sources})
  target_include_directories(fuzz_ini PRIVATE ${fuzz_ini_config_dir})
  target_link_libraries(fuzz_ini PRIVATE fotolume_options)
  target_compile_options(fuzz_ini PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_ini PRIVATE -fsanitize=fuzzer)

  # New inputs go to the build tree; the seeds in the source tree stay as they are.
  set(fuzz_ini_corpus ${CMAKE_CURRENT_BINARY_DIR}/corpus-ini)
  file(MAKE_DIRECTORY ${fuzz_ini_corpus})
  add_test(NAME fuzz_ini
           COMMAND fuzz_ini -max_total_time=20 ${fuzz_ini_corpus} ${CMAKE_CURRENT_LIST_DIR}/corpus/ini)
endif()
