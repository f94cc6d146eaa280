# Several units on one bench: naming one, refusing to guess, programming all at once, and
# doctor's findings. One row each: exit | standard output (regex) | standard error | arguments.
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

string(REPEAT "KAVO-3 units test pattern 0123456789abc\n" 1000 content)
file(WRITE "${WORK}/image.bin" "${content}")
set(port2 "usb-sim-1.2/input0")

set(cases
    "0|units: 3\n  17a7:0001  port usb-sim-1.1/input0  node sim/unit1/hidraw00\n.*port usb-sim-1.3/input0  node sim/unit3/hidraw00\n||--sim=units=3 status --list"
    "0|unit: 17a7:0001 at sim/unit2/hidraw00||--sim=units=3 --device ${port2} status"
    "0|unit: 17a7:0001 at sim/unit3/hidraw00||--sim=units=3 status --device sim/unit3/hidraw00"
    "0|unit: 17a7:0001 at sim/unit1/hidraw00||--sim=units=3 status"
    "64||3 units are attached. say which one with --device.*--device usb-sim-1.3/input0|--sim=units=3 key video1"
    "64||3 units are attached|--sim=units=2,units=3 download image.bin"
    "0|pressed video1||--sim=units=3 --device ${port2} key video1"
    "0|pressed video1||--sim --device usb-sim-1/input0 key video1"
    "2||no KAVO-3 at usb-sim-1.4/input0|--sim=units=3 --device usb-sim-1.4/input0 freeze on"
    "64||only 'download' and 'verify' take --device more than once|--sim=units=3 --device a --device b key video1"
    "0|usb-sim-1.1/input0 +Write OK +[0-9A-F]+ +[0-9A-F]+ .*usb-sim-1.3/input0 +Write OK||--sim=units=3 download image.bin --all"
    "2|\"unit\": \"nowhere\",[ \n]*\"verdict\": \"no unit\",[ \n]*\"exit\": 2.*\"unit\": \"${port2}\",[ \n]*\"verdict\": \"Write OK\",[ \n]*\"exit\": 0||--sim=units=2 download image.bin --device nowhere --device ${port2} --json"
    "4|Write error.*Write error||--sim=units=2,corrupt download image.bin --all"
    "0|ok +answer +sim/hidraw00 .usb-sim-1/input0. answers.*tick +settle waits count ticks of 16 ms.*The unit would work||--sim --tick-ms 16 doctor"
    "0|note +units +2 units attached\n +-> Name one with --device||--sim=units=2 doctor"
    "2|problem answer .*does not answer the connection check[^\n]*\n +-> Check that the unit is switched on||--sim=zeros doctor"
    "2|problem busy .*held by another program .process 4242.||--sim=busy=4242 doctor"
    "2|problem interfaces no HID interface at all||--sim=unplug=0 doctor"
    "2|problem units +none of them is a KAVO-3||--sim=extra=1,id=1234:0001 doctor"
    "2|problem units +no KAVO-3 at usb-sim-1.9/input0||--sim=units=2 --device usb-sim-1.9/input0 doctor"
)

set(row 0)
foreach(case IN LISTS cases)
    math(EXPR row "${row} + 1")
    string(REPLACE "|" ";" fields "${case}")
    list(GET fields 0 status)
    list(GET fields 1 out)
    list(GET fields 2 err)
    list(GET fields 3 words)
    separate_arguments(words UNIX_COMMAND "${words}")
    run_cli(EXIT ${status} ARGS --trace wire${row}.txt ${words})
    if(NOT out STREQUAL "")
        expect_match("${cli_out}" "${out}" "kavo3cli ${words}: standard output")
    endif()
    if(NOT err STREQUAL "")
        expect_match("${cli_err}" "${err}" "kavo3cli ${words}: standard error")
    endif()
    if(status EQUAL 64)
        # Refused before anything was sent.
        expect_absent(wire${row}.txt)
    endif()
endforeach()

# --all: one trace per unit, each with its own whole download.
foreach(unit 1 2 3)
    read_trace(wire11.txt.${unit} wire)
    expect_match("${wire}" "^OUT 00 02 .*OUT 00 01 00 00 80 0e 40 9c 00.*OUT 00 06 00 00 80 0e 40 9c 00" "unit ${unit}'s download")
endforeach()
