# Controller simulator fixtures for CTest.
#
#   rx_add_sim_fixture(<fixture> [MODEL rx200|rx100|rx300] [ARGS <rxsim options>...])
#     Starts `rxsim` before the tests that require <fixture> and stops it after them.
#     The simulator publishes its pseudo-terminal as <dir>/COM1 and logs every frame it
#     receives to <dir>/frames.log, where <dir> = ${CMAKE_BINARY_DIR}/sim/<fixture>.
#
#   rx_add_sim_test(<name> FIXTURE <fixture> COMMAND <cmd> [args...])
#     A test that runs against that simulator, with RX_COM_DIR=<dir>,
#     RX_SIM_LOG=<dir>/frames.log and QT_QPA_PLATFORM=offscreen. Tests of one fixture
#     never run at the same time (the port is opened exclusively).

set(RX_SIM_FIXTURE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/../tools/rxsim/sim-fixture.sh)

function(rx_add_sim_fixture fixture)
  cmake_parse_arguments(PARSE_ARGV 1 SIM "" "MODEL" "ARGS")
  if(NOT SIM_MODEL)
    set(SIM_MODEL rx200)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/sim/${fixture})
  add_test(NAME ${fixture}_start
           COMMAND sh ${RX_SIM_FIXTURE_SCRIPT} start ${dir} $<TARGET_FILE:rxsim>
                   --model ${SIM_MODEL} ${SIM_ARGS})
  add_test(NAME ${fixture}_stop COMMAND sh ${RX_SIM_FIXTURE_SCRIPT} stop ${dir})
  set_tests_properties(${fixture}_start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 30
                                                   RESOURCE_LOCK ${fixture})
  set_tests_properties(${fixture}_stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 30
                                                  RESOURCE_LOCK ${fixture})
endfunction()

function(rx_add_sim_test name)
  cmake_parse_arguments(PARSE_ARGV 1 SIMT "" "FIXTURE;TIMEOUT" "COMMAND;ENVIRONMENT")
  if(NOT SIMT_TIMEOUT)
    set(SIMT_TIMEOUT 300)
  endif()
  set(dir ${CMAKE_BINARY_DIR}/sim/${SIMT_FIXTURE})
  add_test(NAME ${name} COMMAND ${SIMT_COMMAND})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED ${SIMT_FIXTURE}
    RESOURCE_LOCK ${SIMT_FIXTURE}
    TIMEOUT ${SIMT_TIMEOUT}
    ENVIRONMENT "RX_COM_DIR=${dir};RX_SIM_LOG=${dir}/frames.log;QT_QPA_PLATFORM=offscreen;${SIMT_ENVIRONMENT}")
endfunction()
