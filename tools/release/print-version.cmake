# Prints what the release scripts take from the one place that holds the version, a line each:
#   version 1.2.0 / version4 1.2.0.0 / company ... / copyright ...
# Usage: cmake -P print-version.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/LumivexVersion.cmake)
foreach(line
        "version ${LUMIVEX_VERSION_MAJOR}.${LUMIVEX_VERSION_MINOR}.${LUMIVEX_VERSION_PATCH}"
        "version4 ${LUMIVEX_VERSION}" "product ${LUMIVEX_PRODUCT_NAME}"
        "company ${LUMIVEX_COMPANY_NAME}" "copyright ${LUMIVEX_COPYRIGHT}")
    execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${line}")
endforeach()
