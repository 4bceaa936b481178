# tamarind_layer(NAME DEPS...) makes a static library of every .cpp in the
# calling folder. New files need no edit here (CONFIGURE_DEPENDS re-globs).
function(tamarind_layer name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARGN})
endfunction()

# tamarind_test(NAME LIBS...) makes one GoogleTest program of every .cpp in
# the calling folder and registers its tests with CTest.
function(tamarind_test name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} tamarind_test_support GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    TAMARIND_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TAMARIND_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
