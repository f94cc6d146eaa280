# Writes OUTPUT, a C++ source naming the commit that the sources in SOURCE_DIR come from:
# "git describe" of a clone (with -dirty for uncommitted changes), the commit that
# "git archive" wrote into version/commit.txt for an unpacked source archive, else "unknown".
# Run with cmake -P on every build; OUTPUT is rewritten only when the commit changed.
cmake_minimum_required(VERSION 3.25)

set(commit unknown)
find_package(Git QUIET)
if(GIT_FOUND)
    # A clone owned by another user (a CI checkout) is still read.
    execute_process(
        COMMAND ${GIT_EXECUTABLE} -c safe.directory=${SOURCE_DIR} -C ${SOURCE_DIR}
                describe --always --dirty --abbrev=12
        OUTPUT_VARIABLE described OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND described)
        set(commit ${described})
    endif()
endif()
if(commit STREQUAL "unknown")
    file(STRINGS ${SOURCE_DIR}/version/commit.txt archived LIMIT_COUNT 1)
    if(archived MATCHES "^[0-9a-f]+$")
        set(commit ${archived})
    endif()
endif()

set(text "// Written by cmake/BuildCommit.cmake.\nnamespace kavo3::version {\nextern const char* const kBuildCommit;\nconst char* const kBuildCommit = \"${commit}\";\n}  // namespace kavo3::version\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} previous)
endif()
if(NOT previous STREQUAL text)
    file(WRITE ${OUTPUT} "${text}")
endif()
