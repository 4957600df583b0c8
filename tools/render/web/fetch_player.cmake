# Run at build time (cmake -P) in the build's web folder: `npm ci`, then the web player's script,
# style and version beside it. When npm cannot fetch (no registry, no network, a certificate it
# does not trust) the build goes on without the player: npm's words stay in npm.log, the build
# warns, and tundra-render --html says the player is missing.
# Variables: NPM, WEB_DIR, PLAYER_VERSION.
set(PLAYER_FILES asciinema-player.min.js asciinema-player.css)
file(REMOVE ${WEB_DIR}/asciinema-player.min.js ${WEB_DIR}/asciinema-player.css
            ${WEB_DIR}/asciinema-player.version)
execute_process(COMMAND ${NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${WEB_DIR} RESULT_VARIABLE status
  OUTPUT_FILE ${WEB_DIR}/npm.log ERROR_FILE ${WEB_DIR}/npm.log)
if(NOT status EQUAL 0)
  message(WARNING "npm ci failed (${WEB_DIR}/npm.log says why): tundra-render --html will not "
                  "work and the page's test is skipped")
  return()
endif()
set(DIST ${WEB_DIR}/node_modules/asciinema-player/dist/bundle)
file(COPY ${DIST}/asciinema-player.min.js ${DIST}/asciinema-player.css DESTINATION ${WEB_DIR})
file(WRITE ${WEB_DIR}/asciinema-player.version "${PLAYER_VERSION}\n")
