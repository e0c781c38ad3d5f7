# Runs lintian on the package in DIR; fails on errors only, and shows every tag it found.
#   cmake -DLINTIAN=<lintian> -DDIR=<package directory> -P RunLintian.cmake
file(GLOB packages "${DIR}/*.deb")
list(LENGTH packages count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package in ${DIR}, found: ${packages}")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error --tag-display-limit 0 ${packages}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "lintian found errors in ${packages}")
endif()
