# ctrlsch_gtest_suites(TARGET [INSTALLATION]): registers the test program
# TARGET with ctest as one test per test suite (TARGET.SUITE, run with
# --gtest_filter=SUITE.*), not one per test case: a process start pays for
# a suite's set-up once, and gtest's output still names the failed case.
# A value-parameterized suite is split in shards (TARGET.SUITE#KofN, with
# gtest's GTEST_TOTAL_SHARDS and GTEST_SHARD_INDEX).
# The suites are listed after every link of the program (the listing is
# run as this file in script mode). INSTALLATION: the program reads the
# default installation the build writes (ctrlsch_test_installation).
#
# Script mode: -DPROGRAM= -DOUTPUT= -DPREFIX= -DINSTALLATION= -DINSTALLATION_DIR=

if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND "${PROGRAM}" --gtest_list_tests
                  OUTPUT_VARIABLE listing RESULT_VARIABLE rc TIMEOUT 60)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${rc}):\n${listing}")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(suites "")
  foreach(line IN LISTS lines)
    # Suite lines start in the first column ("Suite." or "Inst/Suite.  # TypeParam = ..."),
    # case lines are indented.
    if(line MATCHES "^([^ #][^ ]*)\\.")
      set(suite "${CMAKE_MATCH_1}")
      list(APPEND suites "${suite}")
      set(cases_${suite} 0)
    elseif(line MATCHES "^  [^ ]" AND DEFINED suite)
      math(EXPR cases_${suite} "${cases_${suite}} + 1")
    endif()
  endforeach()
  set(script "")
  foreach(suite IN LISTS suites)
    # A value-parameterized suite (INSTANTIATION/SUITE) runs the same work
    # on many inputs: in shards of about four cases, up to three, so that
    # the two cores share its big ones.
    set(shards 1)
    if(suite MATCHES "/")
      math(EXPR shards "${cases_${suite}} / 4")
      if(shards GREATER 3)
        set(shards 3)
      elseif(shards LESS 1)
        set(shards 1)
      endif()
    endif()
    foreach(shard RANGE 1 ${shards})
      set(name "${PREFIX}.${suite}")
      set(env "")
      if(shards GREATER 1)
        string(APPEND name "#${shard}of${shards}")
        math(EXPR index "${shard} - 1")
        set(env "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
      endif()
      if(INSTALLATION)
        list(APPEND env "CTRLSCH_TEST_INSTALLATION=${INSTALLATION_DIR}")
      endif()
      string(APPEND script "add_test([=[${name}]=] [=[${PROGRAM}]=] [=[--gtest_filter=${suite}.*]=] --gtest_brief=1)\n")
      if(env)
        string(APPEND script "set_tests_properties([=[${name}]=] PROPERTIES ENVIRONMENT [=[${env}]=])\n")
      endif()
    endforeach()
  endforeach()
  file(WRITE "${OUTPUT}" "${script}")
  return()
endif()

set(CTRLSCH_GTEST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
# In the listing's command line, so that an edit here lists again.
file(MD5 ${CMAKE_CURRENT_LIST_FILE} CTRLSCH_GTEST_SUITES_SCRIPT_MD5)

function(ctrlsch_gtest_suites target)
  cmake_parse_arguments(ARG "INSTALLATION" "" "" ${ARGN})
  string(REGEX REPLACE "_tests$" "" prefix ${target})
  set(listed ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  set(include ${CMAKE_CURRENT_BINARY_DIR}/${target}_include.cmake)
  if(ARG_INSTALLATION)
    add_dependencies(${target} ctrlsch_test_installation)
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DOUTPUT=${listed} -DPREFIX=${prefix}
            -DINSTALLATION=${ARG_INSTALLATION} -DINSTALLATION_DIR=${CTRLSCH_TEST_INSTALLATION_DIR}
            -DSCRIPT_MD5=${CTRLSCH_GTEST_SUITES_SCRIPT_MD5}
            -P ${CTRLSCH_GTEST_SUITES_SCRIPT}
    BYPRODUCTS ${listed}
    VERBATIM)
  file(WRITE ${include}
    "if(EXISTS [=[${listed}]=])\n  include([=[${listed}]=])\nelse()\n"
    "  add_test([=[${target}_NOT_BUILT]=] [=[${target}_NOT_BUILT]=])\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${include})
endfunction()
