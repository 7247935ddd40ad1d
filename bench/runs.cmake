# A supervised emulator run flooding the launcher's log window: every byte kept,
# throughput against the raw pipe, event-loop stalls, memory per byte of log.
add_executable(runs_bench ${CMAKE_CURRENT_LIST_DIR}/runs/runs_bench.cpp)
target_include_directories(runs_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/startup)
target_link_libraries(runs_bench PRIVATE kdapp kd_warnings)
target_compile_definitions(runs_bench PRIVATE KD_BUNDLE_RESOURCES="${KD_BUNDLE_RESOURCES}")
add_dependencies(runs_bench demo-emulator kd_bundle_resources)
