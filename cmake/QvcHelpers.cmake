# Every target of the project is made by one of these helpers, so that each
# gets the same warnings, include root and Qt code generation:
#
#   qvc_library(NAME SOURCES ... [LIBS ...] [INCLUDE_ROOT dir])
#   qvc_executable(NAME SOURCES ... [LIBS ...])
#   qvc_add_test(NAME SOURCES ... [LIBS ...] [TIMEOUT seconds])
#
# Headers are included by their path from the project root
# ("link/DeviceLink.h"); a library publishes that root to whatever links it.
# A target that links Qt, directly or through a library that does, gets
# AUTOMOC and AUTORCC.

# Warnings for project code; errors only with QVC_WERROR (CI and ./scripts/test),
# so that a newer compiler's new warning never stops anyone else's build.
set(QVC_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
if(QVC_WERROR)
  list(APPEND QVC_WARNINGS -Werror)
endif()

function(qvc_warnings target)
  target_compile_options(${target} PRIVATE ${QVC_WARNINGS})
endfunction()

# Turns on Qt's code generators when `target` links a Qt library or a target
# that has them on.
function(qvc_qt_codegen target)
  foreach(lib IN LISTS ARGN)
    set(qt OFF)
    if(lib MATCHES "^Qt[0-9]*::")
      set(qt ON)
    elseif(TARGET ${lib})
      get_target_property(qt ${lib} AUTOMOC)
    endif()
    if(qt)
      set_target_properties(${target} PROPERTIES AUTOMOC ON AUTORCC ON)
      return()
    endif()
  endforeach()
endfunction()

# A static library of one layer. LIBS are linked publicly. INCLUDE_ROOT
# replaces the project root as the folder published for includes: the
# simulator publishes only its own, so that it sees none of the program's
# headers.
function(qvc_library name)
  cmake_parse_arguments(L "" "INCLUDE_ROOT" "SOURCES;LIBS" ${ARGN})
  if(NOT L_INCLUDE_ROOT)
    set(L_INCLUDE_ROOT ${PROJECT_SOURCE_DIR})
  endif()
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${L_INCLUDE_ROOT})
  target_link_libraries(${name} PUBLIC ${L_LIBS})
  qvc_qt_codegen(${name} ${L_LIBS})
  qvc_warnings(${name})
endfunction()

# A program. LIBS are linked privately.
function(qvc_executable name)
  cmake_parse_arguments(E "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${E_SOURCES})
  target_link_libraries(${name} PRIVATE ${E_LIBS})
  qvc_qt_codegen(${name} ${E_LIBS})
  qvc_warnings(${name})
endfunction()

# A GoogleTest program and its CTest entry; every test runs on the offscreen
# platform. A page's test program adds tests/support/QtEnvironment.cpp to its
# sources for its QApplication.
function(qvc_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  qvc_executable(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT ${T_TIMEOUT})
endfunction()

# qvc_add_scaled_test(NAME TEST [FILTER pattern]): runs the test program TEST
# (or the tests of it matching the filter) again at 200 % scaling.
function(qvc_add_scaled_test name test)
  cmake_parse_arguments(S "" "FILTER" "" ${ARGN})
  set(command ${test})
  if(S_FILTER)
    list(APPEND command --gtest_filter=${S_FILTER})
  endif()
  add_test(NAME ${name} COMMAND ${command})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2" TIMEOUT 600)
endfunction()
