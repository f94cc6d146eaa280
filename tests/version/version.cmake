# Run with cmake -P: -DPROGRAMS=<name>=<file>;... [-DEMULATOR=wine] -DVERSION -DSOURCE_DIR -DWORK.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

find_package(Git QUIET)
set(expected_commit "[0-9a-z.-]+")
if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -c safe.directory=${SOURCE_DIR} -C ${SOURCE_DIR}
                            describe --always --abbrev=12
                    OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    # Whether files were changed since is the build's business, not the commit's.
    if(status EQUAL 0)
        string(REPLACE "." "\\." expected_commit "${described}(-dirty)?")
    endif()
endif()

# Each program answers with one line and exit status 0, before it looks for a unit or a display.
foreach(entry IN LISTS PROGRAMS)
    string(REGEX REPLACE "=.*" "" name "${entry}")
    string(REGEX REPLACE "^[^=]*=" "" file "${entry}")
    execute_process(COMMAND ${EMULATOR} "${file}" --version
        WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status TIMEOUT 60
        OUTPUT_FILE "${WORK}/${name}.out" ERROR_FILE "${WORK}/${name}.err")
    file(READ "${WORK}/${name}.out" out)
    string(REPLACE "\r" "" out "${out}")
    string(REPLACE "." "\\." version "${VERSION}")
    if(NOT status EQUAL 0 OR NOT out MATCHES "^${name} ${version} \\(commit ${expected_commit}\\)\n$")
        message(FATAL_ERROR "${name} --version: exit ${status}, printed:\n${out}")
    endif()
    message(STATUS "${out}")
endforeach()

# Without git, the commit comes from what "git archive" wrote into the unpacked sources.
foreach(case "abc1234def0=abc1234def0" "$Format:%h$=unknown" "=unknown")
    string(REGEX REPLACE "=[^=]*$" "" stored "${case}")
    string(REGEX REPLACE "^.*=" "" expected "${case}")
    set(tree "${WORK}/unpacked")
    file(REMOVE_RECURSE "${tree}")
    file(WRITE "${tree}/version/commit.txt" "${stored}\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -E env "GIT_CEILING_DIRECTORIES=${WORK}"
                            ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -DOUTPUT=${WORK}/commit.cpp
                            -P ${SOURCE_DIR}/cmake/BuildCommit.cmake
                    RESULT_VARIABLE status)
    file(READ "${WORK}/commit.cpp" source)
    if(NOT status EQUAL 0 OR NOT source MATCHES "kBuildCommit = \"${expected}\";")
        message(FATAL_ERROR "commit.txt holding '${stored}': expected ${expected}, wrote:\n${source}")
    endif()
endforeach()

# A source archive made by git says which commit it holds.
if(GIT_FOUND AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND ${GIT_EXECUTABLE} -c safe.directory=${SOURCE_DIR} -C ${SOURCE_DIR}
                            archive -o ${WORK}/source.tar HEAD version/commit.txt
                    RESULT_VARIABLE status)
    execute_process(COMMAND ${GIT_EXECUTABLE} -c safe.directory=${SOURCE_DIR} -C ${SOURCE_DIR}
                            rev-parse HEAD OUTPUT_VARIABLE head OUTPUT_STRIP_TRAILING_WHITESPACE)
    file(ARCHIVE_EXTRACT INPUT ${WORK}/source.tar DESTINATION ${WORK}/archive)
    file(STRINGS ${WORK}/archive/version/commit.txt archived)
    string(LENGTH "${archived}" length)
    string(SUBSTRING "${head}" 0 ${length} head_prefix)
    if(NOT status EQUAL 0 OR length LESS 7 OR NOT archived STREQUAL head_prefix)
        message(FATAL_ERROR "git archive wrote '${archived}' for commit ${head}")
    endif()
endif()
