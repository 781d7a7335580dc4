# Addresses a distributor sets for a build, in one place:
#   cmake ... -DLUMIVEX_HOME_PAGE=https://example.org/ -DLUMIVEX_SUPPORT_ADDRESS=mailto:help@example.org
# (or `make build CMAKE_ARGS="-DLUMIVEX_HOME_PAGE=..."`). The defaults lie under the reserved
# domain lumivex.example, which never resolves.
set(LUMIVEX_HOME_PAGE "http://www.lumivex.example/" CACHE STRING
    "Home page the About page links to")
set(LUMIVEX_SUPPORT_ADDRESS "mailto:support@lumivex.example" CACHE STRING
    "Support address of the About page (a mailto: address)")
set(LUMIVEX_UPDATE_URL "http://www.lumivex.example/product/update.ini" CACHE STRING
    "Address of the update description")

# The values end up inside C++ and resource string literals: refuse what would break out of one.
foreach(setting LUMIVEX_HOME_PAGE LUMIVEX_SUPPORT_ADDRESS LUMIVEX_UPDATE_URL)
    if("${${setting}}" MATCHES "[\"\\\\]" OR "${${setting}}" STREQUAL "")
        message(FATAL_ERROR "${setting} must be a non-empty address without quotes or backslashes")
    endif()
endforeach()
if(NOT LUMIVEX_SUPPORT_ADDRESS MATCHES "^mailto:")
    message(FATAL_ERROR "LUMIVEX_SUPPORT_ADDRESS must begin with mailto:")
endif()
