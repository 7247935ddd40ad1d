# Start-up with a large game list against a bare Qt window plus the list load,
# and selection changes with real artwork (a plain program printing figures).
add_executable(startup_bare ${CMAKE_CURRENT_LIST_DIR}/startup/bare_window.cpp)
target_link_libraries(startup_bare PRIVATE Qt6::Widgets kd_warnings)

add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup/startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE kdapp kd_warnings)
target_compile_definitions(startup_bench PRIVATE
  KD_BUNDLE_RESOURCES="${KD_BUNDLE_RESOURCES}"
  KD_BARE_WINDOW="$<TARGET_FILE:startup_bare>")
add_dependencies(startup_bench startup_bare demo-emulator kd_bundle_resources)
