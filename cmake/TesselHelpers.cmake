# tessel_library(<name> [DEPS <libs>...])
# A static library made of every .cpp in the calling folder, plus one test
# executable per file in <folder>/tests/ (each test file is one unit's tests).
function(tessel_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT _src)
    # A layer that has no code yet still gives its dependants a library.
    set(_src "${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp")
    file(WRITE "${_src}" "// no code in this layer yet\n")
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  if(TESSEL_TESTS)
    file(GLOB _tests CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*Test.cpp")
    foreach(_t ${_tests})
      get_filename_component(_tn "${_t}" NAME_WE)
      set(_exe "${name}_${_tn}")
      add_executable(${_exe} "${_t}")
      target_link_libraries(${_exe} PRIVATE ${name} GTest::gtest GTest::gtest_main)
      target_compile_definitions(${_exe} PRIVATE
        TESSEL_DATA_DIR="${TESSEL_DATA_DIR}"
        TESSEL_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}/tests")
      gtest_discover_tests(${_exe} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "TESSEL_DATA_DIR=${TESSEL_DATA_DIR}")
    endforeach()
  endif()
endfunction()

# tessel_qt_tests(<prefix> <libs>...)
# One test program per tests/*Test.cpp of the calling folder that uses real widgets: it
# links the libraries, Qt Test and the QApplication main, and runs on the
# offscreen platform.
function(tessel_qt_tests prefix)
  tessel_qt_tests_in("${CMAKE_CURRENT_SOURCE_DIR}" ${prefix} ${ARGN})
endfunction()

# The same for the tests in <folder>/tests/.
function(tessel_qt_tests_in folder prefix)
  if(NOT TESSEL_TESTS)
    return()
  endif()
  file(GLOB _tests CONFIGURE_DEPENDS "${folder}/tests/*Test.cpp")
  foreach(_t ${_tests})
    get_filename_component(_tn "${_t}" NAME_WE)
    set(_exe "${prefix}_${_tn}")
    add_executable(${_exe} "${_t}")
    set_target_properties(${_exe} PROPERTIES AUTOMOC ON)
    target_link_libraries(${_exe} PRIVATE ${ARGN} tessel_qttest_main Qt6::Test GTest::gtest)
    target_compile_definitions(${_exe} PRIVATE
      TESSEL_DATA_DIR="${TESSEL_DATA_DIR}"
      TESSEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
      TESSEL_TEST_SOURCE_DIR="${folder}/tests")
    # A window test that waits for a click nobody gives fails after two
    # minutes instead of holding the whole run.
    gtest_discover_tests(${_exe} DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TESSEL_DATA_DIR=${TESSEL_DATA_DIR}" TIMEOUT 120)
  endforeach()
endfunction()
