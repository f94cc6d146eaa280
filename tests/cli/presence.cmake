# Every subcommand against a unit that goes away at several points of the run, goes away and
# comes back at once, or falls silent there: each ends with exit 2, and leaves no file. The
# points lie among the reports whose answers the result depends on (the connection check is
# report 1).
include(${CMAKE_CURRENT_LIST_DIR}/CliTest.cmake)

file(WRITE "${WORK}/rom.bin" "")
foreach(i RANGE 255)
    file(APPEND "${WORK}/rom.bin" "0123456789abcdef")  # 4 KiB: one erase, 512 data reports
endforeach()
run_cli(EXIT 0 ARGS --sim timing save good.bin)

# name | arguments (comma-separated) | output file or - | points (colon-separated): output
# reports answered before the fault
set(subcommands
    "key|key,menu|-|1"
    "freeze|freeze,on|-|1"
    "timing show|timing,show|-|1:6:11"
    "timing set|timing,set,h2pos=5|-|1:7:13"
    "timing save|timing,save,out.bin|out.bin|1:6:11"
    "timing load|timing,load,good.bin|-|1:16:31"
    "capture|capture,out.bmp|out.bmp|1:50:104"
    "download|download,rom.bin|-|1:2:200:516")
set(faults "unplug=@" "unplug=@,replug=0" "unplug=@,replug=0,samepath" "noanswer=@")

set(runs 0)
foreach(entry IN LISTS subcommands)
    string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|([^|]*)\\|(.*)$" _ "${entry}")
    set(name "${CMAKE_MATCH_1}")
    string(REPLACE "," ";" args "${CMAKE_MATCH_2}")
    set(output "${CMAKE_MATCH_3}")
    string(REPLACE ":" ";" points "${CMAKE_MATCH_4}")
    foreach(point IN LISTS points)
        foreach(fault IN LISTS faults)
            string(REPLACE "@" "${point}" switches "${fault}")
            if(NOT output STREQUAL "-")
                file(REMOVE "${WORK}/${output}")
            endif()
            run_cli(EXIT 2 ARGS --sim=size=128x101,hostwait=5,${switches} ${args})
            if(NOT output STREQUAL "-")
                expect_absent("${output}")
            endif()
            math(EXPR runs "${runs} + 1")
        endforeach()
    endforeach()
endforeach()
message(STATUS "${runs} runs, each with exit 2 and no file")
