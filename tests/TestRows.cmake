# Lists the rows of a built QtTest executable (-datatags) as CTest tests of their own, one a row,
# so that CTest spreads a slow test's rows over its jobs. Run after each build of the test:
#   cmake -D TEST=<name> -D EXECUTABLE=<path> -D OUTPUT=<file> -D ENVIRONMENT=<a=1|b=2>
#         -D TIMEOUT=<seconds> -P TestRows.cmake
string(REPLACE "|" ";" environment "${ENVIRONMENT}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
            "${EXECUTABLE}" -datatags
    OUTPUT_VARIABLE rows
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXECUTABLE} -datatags failed: ${result}")
endif()

set(script "")
string(REPLACE "\n" ";" rows "${rows}")
foreach(row IN LISTS rows)
    # "<class> <function>" or "<class> <function> <data tag>"
    if(NOT row MATCHES "^[^ ]+ ([^ ]+)( (.*))?$")
        continue()
    endif()
    set(selector "${CMAKE_MATCH_1}")
    if(CMAKE_MATCH_3)
        string(APPEND selector ":${CMAKE_MATCH_3}")
    endif()
    string(APPEND script
        "add_test([==[${TEST}:${selector}]==] [==[${EXECUTABLE}]==] [==[${selector}]==])\n"
        "set_tests_properties([==[${TEST}:${selector}]==] PROPERTIES TIMEOUT ${TIMEOUT}"
        " ENVIRONMENT [==[${environment}]==])\n")
endforeach()
file(WRITE "${OUTPUT}" "${script}")
