# Wavetables, oscillators, band-limited oscillator and PCM samples.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CORVENA_TEST_FFTW3 REQUIRED IMPORTED_TARGET fftw3)
add_executable(corvena_unit_tests_b
    ${CMAKE_CURRENT_LIST_DIR}/WavetableProviderTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WavetableOscillatorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OscillatorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PcmSampleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PcmReaderCorpusTest.cpp)
target_link_libraries(corvena_unit_tests_b PRIVATE corvena_engine PkgConfig::CORVENA_TEST_FFTW3
    GTest::gtest_main)
# The generated wavetable files are checked against the formulas too.
add_dependencies(corvena_unit_tests_b corvena_wavetables)
get_target_property(corvena_test_library_dir Corvena_Core LIBRARY_OUTPUT_DIRECTORY)
target_compile_definitions(corvena_unit_tests_b PRIVATE
    CORVENA_TEST_RESOURCES_DIR="${corvena_test_library_dir}/Resources.bundle")
gtest_discover_tests(corvena_unit_tests_b DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
