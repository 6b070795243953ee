# Lays out the release folder STAGE/Quorbel-4-Winamp and packs it into ZIP (run with cmake -P;
# see release.cmake for the variables).
set(top ${STAGE}/Quorbel-4-Winamp)
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${top}/Plugins ${top}/tabs ${top}/tools)
file(COPY ${PLUGIN} DESTINATION ${top}/Plugins)
file(COPY ${GBM} DESTINATION ${top})
string(REPLACE "|" ";" tools "${TOOLS}")
file(COPY ${tools} DESTINATION ${top}/tools)
foreach(folder maps objs pics)
    file(COPY ${DATA}/${folder} DESTINATION ${top})
endforeach()
file(READ ${DATA}/release_readme.txt text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${top}/README.txt "${text}")
# An empty folder keeps its place in the archive only with a file in it.
file(WRITE ${top}/tabs/README.txt
     "The plug-in writes its translation tables (*.tab) here on its first start.\r\n")
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip Quorbel-4-Winamp
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "could not write ${ZIP}")
endif()
