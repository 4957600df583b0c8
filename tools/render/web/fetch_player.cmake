# Run at build time (cmake -P) in the build's web folder: `npm ci`, which installs
# playwright-core for the page's test. When npm cannot fetch (no registry, no network, a
# certificate it does not trust) the build goes on without it: npm's words stay in npm.log, the
# build warns, and the page's test is skipped.
# Variables: NPM, WEB_DIR.
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${WEB_DIR} RESULT_VARIABLE status
  OUTPUT_FILE ${WEB_DIR}/npm.log ERROR_FILE ${WEB_DIR}/npm.log)
if(NOT status EQUAL 0)
  message(WARNING "npm ci failed (${WEB_DIR}/npm.log says why): the test of tundra-render "
                  "--html's page is skipped")
endif()
