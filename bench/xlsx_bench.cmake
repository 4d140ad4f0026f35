# Workbook files: load and save of two sheets of 10000 numbers, and a full compare on files.
add_executable(xlsx_bench ${CMAKE_CURRENT_LIST_DIR}/xlsx_bench.cpp)
target_link_libraries(xlsx_bench PRIVATE quorvane_cli quorvane_xlsx benchmark::benchmark
                                         quorvane_warnings)
