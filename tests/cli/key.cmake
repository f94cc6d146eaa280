# key and freeze: one Remote key exchange by name or code; Freeze on and off.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS --sim --trace keys.txt key volume-up)
run_cli(EXIT 0 ARGS --sim --trace keys.txt key 0x1B)
run_cli(EXIT 0 ARGS --sim --trace keys.txt key Command6)
read_trace(keys.txt wire)
expect_match("${wire}" "OUT 00 13 44[^\n]*\nIN " "volume-up")
expect_match("${wire}" "OUT 00 13 1b[^\n]*\nIN " "code 0x1B")
expect_match("${wire}" "OUT 00 13 4c[^\n]*\nIN " "the remote's freeze key")

run_cli(EXIT 0 ARGS key --list)
expect_match("${cli_out}" "mute +67 +Command10 +消音" "key table")
run_cli(EXIT 64 ARGS --sim key power)
run_cli(EXIT 64 ARGS --sim key 0x99)

run_cli(EXIT 0 ARGS --sim --trace freeze.txt freeze on)
run_cli(EXIT 0 ARGS --sim --trace freeze.txt freeze off)
read_trace(freeze.txt wire)
expect_match("${wire}" "OUT 00 16 01[^\n]*\nIN [^\n]*\n.*OUT 00 16 00[^\n]*\nIN [^\n]*$" "freeze on, then off")
run_cli(EXIT 64 ARGS --sim freeze maybe)
