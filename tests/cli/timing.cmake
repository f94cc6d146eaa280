# timing: show, set, save and load, each between Timing access begin and end.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

run_cli(EXIT 0 ARGS timing show --sim)
expect_match("${cli_out}" "h2pos +122\n.*clamp_width +10\n.*pv1size +480\n$" "parameters")

run_cli(EXIT 0 ARGS --sim --trace set.txt timing set clamp_width=11)
read_trace(set.txt wire)
# Block write of bytes 20..23 at 0x20 + 20, then Write end with the same bytes, then the end.
expect_match("${wire}" "OUT 00 11 00 34 01 0b [^\n]*\nIN [^\n]*\nOUT 00 12 00 34 01 0b [^\n]*\nIN [^\n]*\nOUT 00 0f 00[^\n]*\nIN [^\n]*$" "one parameter change")
run_cli(EXIT 64 ARGS --sim timing set h2pos=4096)
run_cli(EXIT 64 ARGS --sim timing set nosuch=1)

run_cli(EXIT 0 ARGS --sim timing save kavo3_syc1.bin)
expect_size(kavo3_syc1.bin 257)
# Bytes 80..256 of a fresh image are 0.
file(READ "${WORK}/kavo3_syc1.bin" beyond OFFSET 80 HEX)
string(REPEAT "00" 177 zeros)
if(NOT beyond STREQUAL zeros)
    message(FATAL_ERROR "bytes 80..256 of a saved image are not 0: ${beyond}")
endif()

# Fails unless the trace holds `expected` Block writes.
function(expect_block_writes wire expected what)
    string(REGEX MATCHALL "OUT 00 11 " writes "${wire}")
    list(LENGTH writes count)
    if(NOT count EQUAL expected)
        message(FATAL_ERROR "${what} wrote ${count} windows, not ${expected}")
    endif()
endfunction()

run_cli(EXIT 0 ARGS --sim --trace load.txt timing load kavo3_syc1.bin)
read_trace(load.txt wire)
expect_block_writes("${wire}" 19 "a load")
expect_match("${wire}" "OUT 00 12 00 68 01 [^\n]*\nIN [^\n]*\nOUT 00 0f 00" "Write end of window 72")

file(WRITE "${WORK}/short.bin" "too short")
run_cli(EXIT 3 ARGS --sim --trace refused.txt timing load short.bin)
expect_absent(refused.txt)
run_cli(EXIT 1 ARGS --sim timing save no-such-folder/x.bin)
run_cli(EXIT 2 ARGS --sim=unplug=5 timing save gone.bin)
expect_absent(gone.bin)

# A block address near the end of its page leaves the last registers out of reach: set and load
# alike say so with their own exit status, after writing what they could.
run_cli(EXIT 8 ARGS --sim=base=0xE0 timing set pv1size=100)
run_cli(EXIT 8 ARGS --sim=base=0xE0 --trace reach.txt timing load kavo3_syc1.bin)
read_trace(reach.txt wire)
expect_block_writes("${wire}" 8 "a load at base 0xE0")
