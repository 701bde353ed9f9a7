# Warnings are errors for project code.
set(QVC_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)

# qvc_library(NAME SOURCES ... [QT]) - a static library of one layer.
function(qvc_warnings target)
  target_compile_options(${target} PRIVATE ${QVC_WARNINGS})
endfunction()

# qvc_add_test(NAME SOURCES ... LIBS ... [WIDGETS])
# Adds a GoogleTest executable and its CTest entry. WIDGETS runs it on the
# offscreen platform.
function(qvc_add_test name)
  cmake_parse_arguments(T "WIDGETS" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  qvc_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()
