# The log view under an emulator-like flood: a plain program printing figures.
add_executable(log_bench ${CMAKE_CURRENT_LIST_DIR}/log/log_bench.cpp)
target_link_libraries(log_bench PRIVATE kdlogview kd_warnings)
