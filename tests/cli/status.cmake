# status: the simulated unit found and answering; no unit at all; --list names what it saw.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS --sim status)
expect_match("${cli_out}" "unit: 17a7:0001 at [^\n]+\nreports: output 65 bytes, input 65 bytes\nconnection check: answered" "status")

run_cli(EXIT 0 ARGS status --list --sim=extra=2)
expect_match("${cli_out}" "search: 3 HID interface\\(s\\)" "status --list")
expect_match("${cli_out}" "is not a unit" "status --list")

run_cli(EXIT 2 ARGS --sim=unplug=0 status)
expect_match("${cli_err}" "no KAVO-3 found" "status without a unit")

# Held by another program: refused before anything is sent, and told who holds it.
run_cli(EXIT 2 ARGS --sim=busy=4242 --trace busy.txt status)
expect_match("${cli_err}" "^kavo3cli: The KAVO-3 at [^\n]+ is in use by another program \\(PID 4242\\): close" "status of a unit held elsewhere")
if(cli_err MATCHES "no KAVO-3 found")
    message(FATAL_ERROR "a unit held elsewhere is not a missing one:\n${cli_err}")
endif()
read_trace(busy.txt wire)
if(NOT wire STREQUAL "")
    message(FATAL_ERROR "a unit held elsewhere was sent:\n${wire}")
endif()

run_cli(EXIT 2 ARGS --sim=zeros status)
expect_match("${cli_out}" "connection check: no answer" "status of a silent unit")

run_cli(EXIT 64 ARGS --sim=size=0x0 status)
run_cli(EXIT 64 ARGS)
