# Records which source r550ctl was built from, at every build: the commit and whether the tree
# had changes against it. Run with -DSOURCE_DIR=... -DOUTPUT=...; the header is rewritten only
# when what it records changed, so that an unchanged tree recompiles nothing.
set(commit "")
set(modified 0)
find_program(GIT_PROGRAM git)
if(GIT_PROGRAM AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(failed)
        set(commit "")
    else()
        # Tracked files that differ from the commit, staged or not.
        execute_process(COMMAND "${GIT_PROGRAM}" -C "${SOURCE_DIR}" status --porcelain
                                --untracked-files=no
                        OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT changes STREQUAL "")
            set(modified 1)
        endif()
    endif()
endif()
set(content "// Made by BuildId.cmake at build time.\n#define R550_BUILD_COMMIT \"${commit}\"\n#define R550_BUILD_MODIFIED ${modified}\n")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
else()
    set(old "")
endif()
if(NOT old STREQUAL content)
    file(WRITE "${OUTPUT}" "${content}")
endif()
