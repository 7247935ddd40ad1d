# Game list load, exit check and write on a large generated list (run
# bench/catalogue/run.sh for the figures against the reference).
add_executable(catalogue_bench ${CMAKE_CURRENT_LIST_DIR}/catalogue/catalogue_bench.cpp)
target_link_libraries(catalogue_bench PRIVATE kdcatalogue kd_warnings)

add_executable(filter_bench ${CMAKE_CURRENT_LIST_DIR}/catalogue/filter_bench.cpp)
target_link_libraries(filter_bench PRIVATE kdcatalogue Qt6::Widgets kd_warnings)
