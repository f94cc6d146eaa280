# What every end-to-end test of kavo3cli shares. Run with cmake -P and
# -DCLI=<kavo3cli> [-DEMULATOR=<wine>] -DWORK=<an empty folder of its own>.
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# Runs kavo3cli in WORK with the arguments after EXIT and fails unless it ends with that
# status. Leaves standard output in cli_out and standard error in cli_err.
function(run_cli)
    cmake_parse_arguments(arg "" "EXIT" "ARGS" ${ARGN})
    # Files, not pipes: a helper process that Wine starts on first use inherits the output
    # handles, and a pipe would stay open until it ends.
    execute_process(COMMAND ${EMULATOR} "${CLI}" ${arg_ARGS}
        WORKING_DIRECTORY "${WORK}"
        RESULT_VARIABLE status OUTPUT_FILE "${WORK}/.stdout" ERROR_FILE "${WORK}/.stderr"
        TIMEOUT 120)
    file(READ "${WORK}/.stdout" out)
    file(READ "${WORK}/.stderr" err)
    string(REPLACE "\r" "" out "${out}")
    string(REPLACE "\r" "" err "${err}")
    if(NOT status EQUAL arg_EXIT)
        message(FATAL_ERROR "kavo3cli ${arg_ARGS}: exit ${status}, expected ${arg_EXIT}\n"
                            "stdout:\n${out}\nstderr:\n${err}")
    endif()
    set(cli_out "${out}" PARENT_SCOPE)
    set(cli_err "${err}" PARENT_SCOPE)
endfunction()

function(expect_match text regex what)
    if(NOT text MATCHES "${regex}")
        message(FATAL_ERROR "${what}: no match for \"${regex}\" in:\n${text}")
    endif()
endfunction()

function(expect_size file size)
    if(NOT EXISTS "${WORK}/${file}")
        message(FATAL_ERROR "${file} was not written")
    endif()
    file(SIZE "${WORK}/${file}" actual)
    if(NOT actual EQUAL size)
        message(FATAL_ERROR "${file}: ${actual} bytes, expected ${size}")
    endif()
endfunction()

function(expect_absent file)
    if(EXISTS "${WORK}/${file}")
        message(FATAL_ERROR "${file} was written, but should not have been")
    endif()
endfunction()

# The wire trace without times: one "OUT ..." or "IN ..." per line.
function(read_trace file var)
    file(STRINGS "${WORK}/${file}" lines REGEX "^[0-9]+ (OUT|IN|NONE)")
    list(TRANSFORM lines REPLACE "^[0-9]+ " "")
    list(JOIN lines "\n" text)
    set(${var} "${text}" PARENT_SCOPE)
endfunction()
