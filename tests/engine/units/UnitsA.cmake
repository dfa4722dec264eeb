# Envelope, smoother, IIR filters, noise, LFO and FM.
add_executable(corvena_unit_tests_a
    ${CMAKE_CURRENT_LIST_DIR}/EnvelopeGeneratorTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ValueSmootherTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/IirFilterTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NoiseSourceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModulationSourceTest.cpp)
target_link_libraries(corvena_unit_tests_a PRIVATE corvena_engine GTest::gtest_main)
gtest_discover_tests(corvena_unit_tests_a DISCOVERY_TIMEOUT 60)
