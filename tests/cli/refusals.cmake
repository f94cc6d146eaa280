# What the unit cannot hold is refused before anything is sent; the cases just inside the
# limits run. One row each: exit status | what standard error says (regex) | arguments.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

function(write_bytes name count)
    string(REPEAT "K" ${count} bytes)
    file(WRITE "${WORK}/${name}" "${bytes}")
endfunction()
write_bytes(64k.bin 65536)
write_bytes(1m.bin 1048576)
write_bytes(over.bin 1048577)
file(MAKE_DIRECTORY "${WORK}/shots")
execute_process(COMMAND mkfifo "${WORK}/fifo.bmp")

set(cases
    "64|does not lie inside the unit's 2 MiB flash|download 64k.bin --address 0x1F8000"
    "0||download 64k.bin --address 0x1F0000"
    "3|larger than the 1 MiB download area|download over.bin"
    "0||download 1m.bin --address 0x100000"
    "0|only its first 1 MiB is written|download over.bin --first-mib"
    "64|inside the unit's 2 MiB flash|download 1m.bin --address 0x108000"
    "0||download 64k.bin --flash-size 0x400000 --address 0x3F0000"
    "64|inside the unit's 4 MiB flash|download 64k.bin --flash-size 0x400000 --address 0x3F8000"
    "64|not a flash size|download 64k.bin --flash-size 0x300000"
    "64|is a folder, not a file name|capture shots"
    "64|is a folder, not a file name|capture shots/"
    "64|is a folder, not a file name|capture shots/.."
    "0||capture shots/frame"
    "1|the folder no-such-folder does not exist|capture no-such-folder/x.bmp"
    "1|the folder no-such-folder does not exist|timing save no-such-folder/x.bin"
    "64|is a folder, not a file name|timing save shots"
    "64|--tick-ms|status --tick-ms="
)
# Device nodes and FIFOs are the host's; a Windows build under Wine reads "/dev/..." as an option.
if(EMULATOR STREQUAL "")
    list(APPEND cases
        "64|not a regular file|timing save /dev/null"
        "64|not a regular file|capture fifo.bmp")
endif()

set(row 0)
foreach(case IN LISTS cases)
    math(EXPR row "${row} + 1")
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 status)
    list(GET fields 1 message)
    list(GET fields 2 words)
    separate_arguments(words UNIX_COMMAND "${words}")
    run_cli(EXIT ${status} ARGS --sim --trace wire${row}.txt ${words})
    if(NOT message STREQUAL "")
        expect_match("${cli_err}" "${message}" "kavo3cli ${case}")
    endif()
    if(status EQUAL 0)
        read_trace(wire${row}.txt wire)
        expect_match("${wire}" "OUT 00 02" "kavo3cli ${case}: the run")
    else()
        # Refused before the unit was even searched for: not one report.
        expect_absent(wire${row}.txt)
    endif()
endforeach()

# One unit named twice, by its port path and its node path or by one name twice, would get two
# downloads at once.
foreach(second sim/unit1/hidraw00 usb-sim-1.1/input0)
    run_cli(EXIT 64 ARGS --sim=units=2 --trace twice.txt download 64k.bin
            --device usb-sim-1.1/input0 --device ${second})
    expect_match("${cli_err}" "name the same unit" "one unit named twice")
    expect_absent(twice.txt)
endforeach()
# A trace that is a FIFO without a reader is refused at once rather than waited on.
if(EMULATOR STREQUAL "")
    run_cli(EXIT 1 ARGS --sim --trace fifo.bmp status)
    expect_match("${cli_err}" "cannot open the trace file" "a trace FIFO without a reader")
endif()

# The download area's last byte where it was asked for: 64 KiB ending at 0x1FFFFF.
read_trace(wire2.txt wire)
expect_match("${wire}" "OUT 00 01 00 00 00 1f 00 00 01" "write start of the area ending at 2 MiB")
# --first-mib writes and sums exactly 1 MiB.
read_trace(wire5.txt wire)
expect_match("${wire}" "OUT 00 06 00 00 80 0e 00 00 10" "checksum request over 1 MiB")
expect_size(shots/frame.bmp 1036854)
