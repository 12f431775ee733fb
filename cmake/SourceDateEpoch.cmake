# The time a reproducible build stamps into its output, in seconds since 1970 (UTC), so that the
# same source gives the same bytes whenever and wherever it is built.
#
#   vx_source_date_epoch(OUTPUT_VARIABLE)
# sets OUTPUT_VARIABLE to, in this order of preference:
#   1. the environment's SOURCE_DATE_EPOCH at configure time, when it is set and not empty;
#   2. the commit time of HEAD, when the source directory is the top of a git work tree;
#   3. 0.
# With git, a new commit (or checkout) re-runs the configuration, so the value follows HEAD.
function(vx_source_date_epoch output_variable)
    set(epoch "")
    if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
        set(epoch "$ENV{SOURCE_DATE_EPOCH}")
        set(origin "SOURCE_DATE_EPOCH")
        if(NOT epoch MATCHES "^[0-9]+$" OR epoch GREATER 4294967295)
            message(FATAL_ERROR
                "SOURCE_DATE_EPOCH='${epoch}': want whole seconds since 1970 that fit 32 bits")
        endif()
    endif()

    find_program(VX_GIT git NO_CMAKE_FIND_ROOT_PATH)
    if(epoch STREQUAL "" AND VX_GIT)
        # Only the source's own repository counts: a source tree unpacked inside some other
        # work tree must not take that tree's commit time.
        execute_process(COMMAND ${VX_GIT} rev-parse --show-toplevel
                        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                        OUTPUT_VARIABLE top RESULT_VARIABLE failed
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        if(NOT failed)
            file(REAL_PATH "${top}" top)
            file(REAL_PATH "${PROJECT_SOURCE_DIR}" source)
        endif()
        if(NOT failed AND top STREQUAL source)
            execute_process(COMMAND ${VX_GIT} log -1 --format=%ct
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            OUTPUT_VARIABLE commit_time RESULT_VARIABLE failed
                            OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(NOT failed AND commit_time MATCHES "^[0-9]+$")
                set(epoch ${commit_time})
                set(origin "HEAD commit time")
            endif()
            # HEAD's log grows with every commit, checkout and reset; HEAD itself changes on
            # a switch of branch.
            foreach(name HEAD logs/HEAD)
                execute_process(COMMAND ${VX_GIT} rev-parse --path-format=absolute
                                        --git-path ${name}
                                WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                                OUTPUT_VARIABLE path RESULT_VARIABLE failed
                                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
                if(NOT failed AND EXISTS "${path}")
                    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
                endif()
            endforeach()
        endif()
    endif()

    if(epoch STREQUAL "")
        set(epoch 0)
        set(origin "neither SOURCE_DATE_EPOCH nor a git HEAD")
    endif()
    message(STATUS "Build time stamp: ${epoch} (${origin})")
    set(${output_variable} ${epoch} PARENT_SCOPE)
endfunction()
