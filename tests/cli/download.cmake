# download: a file written and verified; a corrupting flash; files that are refused.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

# 40000 bytes: one 32 KB erase and two 4 KB ones.
string(REPEAT "KAVO-3 download test pattern 0123456789\n" 1000 content)
file(WRITE "${WORK}/image.bin" "${content}")

run_cli(EXIT 0 ARGS --sim --trace wire.txt download image.bin)
# The phases are progress, on standard error; the verdict alone is the result.
expect_match("${cli_err}" "Erace\nDownload\nDownload End\ncheck sum start\n" "download phases")
expect_match("${cli_out}" "^Chack sum=[0-9A-F]+  Write OK  rom=[0-9A-F]+ file=[0-9A-F]+\n$" "download verdict")
run_cli(EXIT 0 ARGS --sim --quiet download image.bin)
if(NOT cli_err STREQUAL "")
    message(FATAL_ERROR "--quiet still said:\n${cli_err}")
endif()
read_trace(wire.txt wire)
# The erases, the write start and the checksum request all at 0x0E8000.
expect_match("${wire}" "OUT 00 05 00 00 80 0e 55 aa 55" "first erase")
expect_match("${wire}" "OUT 00 01 00 00 80 0e 40 9c 00" "write start of 40000 bytes")
expect_match("${wire}" "OUT 00 06 00 00 80 0e 40 9c 00" "checksum request")

run_cli(EXIT 0 ARGS --sim download image.bin --address 0x100000)
run_cli(EXIT 4 ARGS --sim=corrupt download image.bin)
expect_match("${cli_out}" "Write error  rom=" "verdict of a corrupted flash")

file(WRITE "${WORK}/empty.bin" "")
run_cli(EXIT 3 ARGS --sim download empty.bin)
run_cli(EXIT 3 ARGS --sim download missing.bin)
run_cli(EXIT 64 ARGS --sim download image.bin --address 0x0E9000)
run_cli(EXIT 2 ARGS --sim=unplug=0 download image.bin)
