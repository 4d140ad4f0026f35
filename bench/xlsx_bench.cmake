# Workbook files: load and save of two sheets of 10000 numbers, and a full compare on files.
add_executable(xlsx_bench ${CMAKE_CURRENT_LIST_DIR}/xlsx_bench.cpp)
target_link_libraries(xlsx_bench PRIVATE quorvane_cli quorvane_engine quorvane_xlsx benchmark::benchmark
                                         quorvane_warnings)

# The floor a file comparison is measured against (bench/xlsx_files.sh runs both).
find_package(PkgConfig REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(FLOOR_LIBZIP REQUIRED IMPORTED_TARGET libzip)
add_executable(xlsx_floor ${CMAKE_CURRENT_LIST_DIR}/xlsx_floor.cpp)
target_link_libraries(xlsx_floor PRIVATE pugixml::pugixml PkgConfig::FLOOR_LIBZIP quorvane_warnings)
