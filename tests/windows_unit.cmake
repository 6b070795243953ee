# The unit tests built for Windows (tests/windows) run under Wine on each build the Wine tests
# run; the 32-bit build's are reported as skipped, with the reason, where it cannot run.
quorbel_wine_program_test(unit_tests
    "the unit tests of the flames and the frame copy built for 32-bit Windows" 600
    sh ${CMAKE_SOURCE_DIR}/tests/windows_unit_tests.sh
    <BUILD_DIR>/tests/windows/quorbel_windows_tests.exe ${CMAKE_BINARY_DIR}/wine_unit_<BUILD>)
# The same program with QUORBEL_CPU_OFF set, as in cpu_features.cmake: the Windows builds read it
# at start too (Wine hands the variable to the program).
quorbel_wine_program_test(cpu_off
    "the loop choice with QUORBEL_CPU_OFF in the unit tests built for 32-bit Windows" 300
    env QUORBEL_CPU_OFF=avx512vbmi sh ${CMAKE_SOURCE_DIR}/tests/windows_unit_tests.sh
    <BUILD_DIR>/tests/windows/quorbel_windows_tests.exe ${CMAKE_BINARY_DIR}/wine_unit_<BUILD>
    --gtest_filter=CpuOff.*:Kernels.*:CpuFeatures.*)
