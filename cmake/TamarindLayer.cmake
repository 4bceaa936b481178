# The layers and what each links are written once, in cmake/layers.txt;
# scripts/check-layers reads the same table and fails on an include that
# reaches past it. Every layer exports src/ as its include folder (headers
# are included as "layer/name.h"), so the include folders alone cannot keep
# a layer from reaching up: the check does, and a layer that uses another
# without linking it fails to link.
set(TAMARIND_LAYER_TABLE ${PROJECT_SOURCE_DIR}/cmake/layers.txt)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TAMARIND_LAYER_TABLE})

# tamarind_table_row(KIND KEY SKIP OUT): the words of the table's row
# "KIND KEY ...", without the first SKIP words.
function(tamarind_table_row kind key skip out)
  file(STRINGS ${TAMARIND_LAYER_TABLE} rows REGEX "^${kind}[ \t]+${key}([ \t]|$)")
  list(LENGTH rows found)
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "cmake/layers.txt: expected one row \"${kind} ${key}\", found ${found}")
  endif()
  string(REGEX REPLACE "#.*" "" row "${rows}")
  string(STRIP "${row}" row)
  string(REGEX REPLACE "[ \t]+" ";" words "${row}")
  list(LENGTH words count)
  set(rest "")
  if(count GREATER skip)
    list(SUBLIST words ${skip} -1 rest)
  endif()
  set(${out} ${rest} PARENT_SCOPE)
endfunction()

# tamarind_layer_links(LAYER OUT): the libraries of the layers LAYER links.
function(tamarind_layer_links layer out)
  tamarind_table_row(layer ${layer} 3 links)
  list(TRANSFORM links PREPEND tamarind_)
  set(${out} ${links} PARENT_SCOPE)
endfunction()

# tamarind_tested_layers(OUT): the libraries of the layers the calling test
# folder tests.
function(tamarind_tested_layers out)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  tamarind_table_row(tests ${folder} 2 layers)
  list(TRANSFORM layers PREPEND tamarind_)
  set(${out} ${layers} PARENT_SCOPE)
endfunction()

# tamarind_folder_sources(OUT): every .cpp in the calling folder, and those
# of its posix/ or windows/ subfolder, whichever is the running system's.
# CONFIGURE_DEPENDS re-globs, so new files need no edit of a CMake file.
function(tamarind_folder_sources out)
  if(WIN32)
    set(system windows)
  else()
    set(system posix)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*.cpp)
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# tamarind_layer(tamarind_NAME OUTSIDE...) makes the static library of layer
# NAME from every .cpp in the calling folder, linking the layers the table
# gives it and the outside libraries OUTSIDE.
# A layer whose code differs by system keeps the shared files in its folder
# and one implementation per system in posix/ and windows/, behind the same
# headers: only the running system's is built.
function(tamarind_layer name)
  tamarind_folder_sources(sources)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  string(REGEX REPLACE "^tamarind_" "" layer ${name})
  tamarind_layer_links(${layer} links)
  target_link_libraries(${name} PUBLIC ${links} ${ARGN})
endfunction()

# tamarind_test(NAME LIBS... [LABEL label] [CASES label filter]) makes one
# GoogleTest program of every .cpp in the calling folder, linking the layers
# the table says the folder tests, the test helpers LIBS and the core test
# support, and registers its tests with CTest under LABEL (default "fast");
# the cases the GoogleTest FILTER picks get the CASES label instead.
# Tests of one system only lie in posix/ or windows/ below the folder, as the
# code they test does.
function(tamarind_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LABEL" "CASES")
  tamarind_folder_sources(sources)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  tamarind_tested_layers(tested)
  # The Windows build's GoogleTest comes without GoogleMock, which none of
  # the tests it builds uses.
  target_link_libraries(${name} PRIVATE ${tested} ${arg_UNPARSED_ARGUMENTS} tamarind_test_support GTest::gtest_main
    $<TARGET_NAME_IF_EXISTS:GTest::gmock>)
  target_compile_definitions(${name} PRIVATE
    TAMARIND_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TAMARIND_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # Listing the tests would run the program under an emulator at build
    # time: the whole program is one test.
    add_test(NAME ${name} COMMAND ${name})
    return()
  endif()
  if(NOT arg_LABEL)
    set(arg_LABEL fast)
  endif()
  tamarind_discover_tests(${name} ${arg_LABEL} ${arg_CASES})
endfunction()

# tamarind_discover_tests(TARGET LABEL [CASE_LABEL FILTER]) registers the
# GoogleTest program TARGET's tests with CTest, labelled LABEL, or CASE_LABEL
# for those the GoogleTest FILTER picks. "scripts/test --fast" runs the label
# "fast" alone, so a slow case in an otherwise quick program is named here
# rather than left to slow down every developer's run.
function(tamarind_discover_tests target label)
  set(common DISCOVERY_TIMEOUT 60)
  set(environment ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARGC EQUAL 4)
    gtest_discover_tests(${target} ${common} TEST_FILTER "-${ARGV3}"
      PROPERTIES LABELS ${label} ${environment})
    gtest_discover_tests(${target} ${common} TEST_FILTER "${ARGV3}"
      PROPERTIES LABELS ${ARGV2} ${environment})
  elseif(ARGC EQUAL 2)
    gtest_discover_tests(${target} ${common} PROPERTIES LABELS ${label} ${environment})
  else()
    message(FATAL_ERROR "tamarind_discover_tests(${target} ${label} ${ARGN}): CASES takes a label and a filter")
  endif()
endfunction()
