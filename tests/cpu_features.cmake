# The unit tests of the loop choice once more with QUORBEL_CPU_OFF set, so that the variable is
# shown to be read at start (the Windows builds' run is in windows_unit.cmake). On a processor
# with every AVX-512 part the frame copy steps down from its VBMI loops to the BW ones.
add_test(NAME cpu_off.native
         COMMAND quorbel_tests --gtest_filter=CpuOff.*:Kernels.*:CpuFeatures.*)
set_tests_properties(cpu_off.native PROPERTIES LABELS native
                     ENVIRONMENT QUORBEL_CPU_OFF=avx512vbmi)
