# Fails unless the native plug-in defines exactly the six entry points as dynamic symbols.
# Run as: cmake -DPLUGIN=path/to/paint.so -DNM=nm -P check_native_exports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${PLUGIN}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${NM} failed on ${PLUGIN}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected VXcCancelOne VXcDrawGuideLine VXcDrawIt VXcGetDrawInfo VXcGetDrawInterface VXcSetPoint)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "exported: ${names}\nexpected: ${expected}")
endif()
