# --tick-ms and KAVO3_TICK_MS: a period from 1 to 1000 ms is taken; anything else is bad usage
# and nothing reaches the unit.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS --sim --tick-ms 16 status)
run_cli(EXIT 0 ARGS --sim status --tick-ms=2)
foreach(bad 0 1001 16ms -1)
    run_cli(EXIT 64 ARGS --sim --trace bad.trace --tick-ms=${bad} status)
    expect_match("${cli_err}" "--tick-ms: '${bad}' is not a tick period" "--tick-ms=${bad}")
endforeach()
expect_absent(bad.trace)

set(ENV{KAVO3_TICK_MS} 16)
run_cli(EXIT 0 ARGS --sim status)
set(ENV{KAVO3_TICK_MS} fast)
run_cli(EXIT 64 ARGS --sim status)
expect_match("${cli_err}" "KAVO3_TICK_MS: 'fast'" "KAVO3_TICK_MS=fast")
run_cli(EXIT 0 ARGS --sim --tick-ms 1 status)
