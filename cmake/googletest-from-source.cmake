# GoogleTest built from source (ZALOHY_GTEST_SOURCE_DIR) with the project's
# toolchain, for cross builds where no target GoogleTest is installed. Gives
# the same GTest::gtest and GTest::gtest_main targets as find_package(GTest).
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZALOHY_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own warnings are not ours to fix.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()
