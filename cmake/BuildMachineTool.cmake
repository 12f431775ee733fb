# Small programs that run during a cross build (or its tests) on the build machine itself,
# compiled with the build machine's own C++ compiler rather than the cross compiler.
#
#   vx_build_machine_tool(OUTPUT_VARIABLE NAME SOURCE)
# sets OUTPUT_VARIABLE to the path of the program NAME, built from SOURCE when something
# depends on that path.
find_program(VX_BUILD_MACHINE_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)

function(vx_build_machine_tool output_variable name source)
    set(program ${CMAKE_CURRENT_BINARY_DIR}/${name})
    get_filename_component(source ${source} ABSOLUTE)
    add_custom_command(OUTPUT ${program}
        COMMAND ${VX_BUILD_MACHINE_CXX} -std=c++17 -O1 -Wall -Wextra -Werror -o ${program} ${source}
        DEPENDS ${source}
        COMMENT "Building ${name} for the build machine")
    set(${output_variable} ${program} PARENT_SCOPE)
endfunction()
