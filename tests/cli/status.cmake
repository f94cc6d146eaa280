# status: the simulated unit found and answering; no unit at all; --list names what it saw.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS --sim status)
expect_match("${cli_out}" "unit: 17a7:0001 at [^\n]+\nreports: output 65 bytes, input 65 bytes\nconnection check: answered" "status")

run_cli(EXIT 0 ARGS status --list --sim=extra=2)
expect_match("${cli_out}" "search: 3 HID interface\\(s\\)" "status --list")
expect_match("${cli_out}" "is not a unit" "status --list")

run_cli(EXIT 2 ARGS --sim=unplug=0 status)
expect_match("${cli_err}" "no KAVO-3 found" "status without a unit")

run_cli(EXIT 2 ARGS --sim=zeros status)
expect_match("${cli_out}" "connection check: no answer" "status of a silent unit")

run_cli(EXIT 64 ARGS --sim=size=0x0 status)
run_cli(EXIT 64 ARGS)
