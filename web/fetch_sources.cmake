# Run at build time (cmake -P): fetches the C libraries the browser build compiles from Debian's
# source packages, as npm fetches its packages, into SOURCE_DIR, once. apt-get works on a private
# list of deb-src entries under SOURCE_DIR/apt, so the system's sources are never changed; the
# mirror is the one the system's own entries name (deb.debian.org when none can be read).
# AA-lib comes from its upstream tarball alone when Debian's patch tarball is missing: the tests
# compare every frame with the system's libaa1, so a patch that changed its output would show.
# Variables: SOURCE_DIR. Writes SOURCE_DIR/fetched.cmake (the folders) on success; on failure
# warns why (SOURCE_DIR/apt/fetch.log holds apt's words), leaves that file absent and still
# ends with status 0: the rest of the build goes on.
set(PACKAGES aalib libxmp)
set(APT ${SOURCE_DIR}/apt)
file(MAKE_DIRECTORY ${APT}/lists/partial ${APT}/cache/archives/partial ${APT}/download)

set(MIRROR http://deb.debian.org/debian)
foreach(list /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list)
  if(EXISTS ${list})
    file(STRINGS ${list} lines REGEX "^(URIs:|deb )")
    foreach(line IN LISTS lines)
      if(line MATCHES "(https?://[^ ]*/debian)( |$)")
        set(MIRROR ${CMAKE_MATCH_1})
        break()
      endif()
    endforeach()
    break()
  endif()
endforeach()
set(SUITE bookworm)
if(EXISTS /etc/os-release)
  file(STRINGS /etc/os-release codename REGEX "^VERSION_CODENAME=")
  string(REPLACE "VERSION_CODENAME=" "" codename "${codename}")
  if(codename)
    set(SUITE ${codename})
  endif()
endif()
file(WRITE ${APT}/sources.list "deb-src ${MIRROR} ${SUITE} main\n")

set(APT_OPTIONS -o Dir::Etc::SourceList=${APT}/sources.list -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists=${APT}/lists -o Dir::Cache=${APT}/cache -o APT::Sandbox::User=root)
set(LOG ${APT}/fetch.log)
file(WRITE ${LOG} "")


# Sets FETCHED to the folders' settings, or WHY to the reason nothing could be fetched.
function(fetch_all)
  find_program(APT_GET apt-get)
  if(NOT APT_GET)
    set(WHY "apt-get is missing, so Debian's source packages cannot be fetched" PARENT_SCOPE)
    return()
  endif()

  execute_process(COMMAND ${APT_GET} ${APT_OPTIONS} -q update
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  file(APPEND ${LOG} "${out}")
  file(GLOB lists ${APT}/lists/*Sources*)
  if(NOT status EQUAL 0 OR NOT lists)
    set(WHY "cannot reach ${MIRROR} for the source package lists (is the network there?)"
        PARENT_SCOPE)
    return()
  endif()

  set(FETCHED "")
  foreach(package IN LISTS PACKAGES)
    # --download-only fails as a whole when one file of the package is missing: what it did
    # fetch is judged below.
    execute_process(COMMAND ${APT_GET} ${APT_OPTIONS} -q source --download-only ${package}
      WORKING_DIRECTORY ${APT}/download RESULT_VARIABLE status OUTPUT_VARIABLE out
      ERROR_VARIABLE out)
    file(APPEND ${LOG} "${out}")
    file(GLOB upstream ${APT}/download/${package}_*.orig.tar.*)
    list(FILTER upstream EXCLUDE REGEX "\\.asc$")
    if(NOT upstream)
      set(WHY "cannot fetch the source package ${package} from ${MIRROR}" PARENT_SCOPE)
      return()
    endif()
    list(GET upstream 0 upstream)
    file(GLOB patches ${APT}/download/${package}_*.debian.tar.*)
    set(tree ${SOURCE_DIR}/${package})
    file(REMOVE_RECURSE ${tree} ${SOURCE_DIR}/unpack)
    file(MAKE_DIRECTORY ${SOURCE_DIR}/unpack)
    file(ARCHIVE_EXTRACT INPUT ${upstream} DESTINATION ${SOURCE_DIR}/unpack)
    file(GLOB top LIST_DIRECTORIES true ${SOURCE_DIR}/unpack/*)
    file(RENAME ${top} ${tree})
    file(REMOVE_RECURSE ${SOURCE_DIR}/unpack)
    if(patches)
      # Debian's patches, in the order of their series, as dpkg-source would apply them.
      file(ARCHIVE_EXTRACT INPUT ${patches} DESTINATION ${tree})
      set(series ${tree}/debian/patches/series)
      if(EXISTS ${series})
        file(STRINGS ${series} names REGEX "^[^#]")
        foreach(name IN LISTS names)
          string(STRIP "${name}" name)
          execute_process(COMMAND patch -p1 -s -i debian/patches/${name} WORKING_DIRECTORY ${tree}
            RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
          file(APPEND ${LOG} "${out}")
          if(NOT status EQUAL 0)
            set(WHY "Debian's patch ${name} does not apply to ${package}" PARENT_SCOPE)
            return()
          endif()
        endforeach()
      endif()
      file(APPEND ${LOG} "${package}: upstream ${upstream} with Debian's patches\n")
    else()
      file(APPEND ${LOG} "${package}: upstream ${upstream} alone (no Debian patch tarball)\n")
    endif()
    string(TOUPPER ${package} name)
    string(APPEND FETCHED "set(${name}_DIR ${tree})\n")
  endforeach()
  set(FETCHED "${FETCHED}" PARENT_SCOPE)
endfunction()

file(REMOVE ${SOURCE_DIR}/fetched.cmake)
set(WHY "")
fetch_all()
if(WHY)
  message(WARNING "web: ${WHY} (${LOG} says more): the WebAssembly module is not built and its "
                  "tests are skipped; the rest of the build goes on")
else()
  file(WRITE ${SOURCE_DIR}/fetched.cmake "${FETCHED}")
endif()
