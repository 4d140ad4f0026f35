# Workbook files: load and save of two sheets of 10000 numbers, and a full compare on files.
add_executable(xlsx_bench ${CMAKE_CURRENT_LIST_DIR}/xlsx_bench.cpp)
target_link_libraries(xlsx_bench PRIVATE quorvane_cli quorvane_engine quorvane_xlsx benchmark::benchmark
                                         quorvane_warnings)

# The floors a file comparison is measured against (bench/xlsx_files.py and bench/long_files.py run
# them beside the tool): the same zip library, and libdeflate for inflating and deflating parts, as
# the tool has.
find_package(PkgConfig REQUIRED)
find_package(pugixml REQUIRED)
pkg_check_modules(FLOOR_LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(FLOOR_LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
add_executable(xlsx_floor ${CMAKE_CURRENT_LIST_DIR}/xlsx_floor.cpp)
target_link_libraries(xlsx_floor PRIVATE pugixml::pugixml PkgConfig::FLOOR_LIBZIP
                                         PkgConfig::FLOOR_LIBDEFLATE quorvane_warnings)
add_executable(long_floor ${CMAKE_CURRENT_LIST_DIR}/long_floor.cpp)
target_link_libraries(long_floor PRIVATE PkgConfig::FLOOR_LIBZIP PkgConfig::FLOOR_LIBDEFLATE
                                         pugixml::pugixml quorvane_warnings)
