# Checks the files that `cmake --install` lays out, or that the Debian package holds, against
# the list they must be (nothing missing, nothing more).
#   cmake -DMODE=install -DBUILD=<build dir> -DUDEVDIR=<udev dir> -DRULES_DIR=<option or empty>
#         -DID=<desktop id> -DPACKAGE=<package name> -P CheckInstallLayout.cmake
#   cmake -DMODE=package -DDPKG_DEB=<dpkg-deb> ... (the package in <build dir>/package)

# The files below the root for an install with prefix `prefix`, sorted, without leading '/'.
function(expected_files prefix out)
  set(rules_dir "${RULES_DIR}")
  if(NOT rules_dir)
    if(prefix STREQUAL "/usr")
      set(rules_dir "${UDEVDIR}/rules.d")
    else()
      set(rules_dir "/etc/udev/rules.d")
    endif()
  endif()
  set(files "${rules_dir}/70-orbizo3.rules")
  foreach(file bin/orbizo3-cli bin/orbizo3-fwupdater
               share/applications/${ID}.desktop
               share/metainfo/${ID}.metainfo.xml
               share/man/man1/orbizo3-cli.1.gz
               share/man/man1/orbizo3-fwupdater.1.gz
               share/bash-completion/completions/orbizo3-cli
               share/doc/${PACKAGE}/copyright
               share/doc/${PACKAGE}/changelog.gz)
    list(APPEND files "${prefix}/${file}")
  endforeach()
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND files "${prefix}/share/icons/hicolor/${size}x${size}/apps/${ID}.png")
  endforeach()
  list(TRANSFORM files REPLACE "^/+" "")
  list(SORT files)
  set(${out} "${files}" PARENT_SCOPE)
endfunction()

function(compare what actual expected)
  if(NOT actual STREQUAL expected)
    set(missing ${expected})
    list(REMOVE_ITEM missing ${actual})
    set(extra ${actual})
    list(REMOVE_ITEM extra ${expected})
    message(FATAL_ERROR "${what}:\n  missing: ${missing}\n  not expected: ${extra}")
  endif()
  list(LENGTH actual count)
  message(STATUS "${what}: the ${count} expected files")
endfunction()

if(MODE STREQUAL "install")
  foreach(prefix /usr /usr/local)
    set(root "${BUILD}/install-check${prefix}")
    file(REMOVE_RECURSE "${root}")
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env "DESTDIR=${root}"
              ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}"
      RESULT_VARIABLE result OUTPUT_QUIET)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "cmake --install --prefix ${prefix} failed: ${result}")
    endif()
    file(GLOB_RECURSE actual RELATIVE "${root}" "${root}/*")
    list(SORT actual)
    expected_files(${prefix} expected)
    compare("cmake --install --prefix ${prefix}" "${actual}" "${expected}")
    # The programs must run from where they were put.
    execute_process(COMMAND "${root}${prefix}/bin/orbizo3-cli" --version
                    RESULT_VARIABLE result OUTPUT_VARIABLE version)
    if(NOT result EQUAL 0 OR NOT version MATCHES "^orbizo3-cli [0-9]+\\.[0-9]+\\.[0-9]+\n$")
      message(FATAL_ERROR "installed orbizo3-cli --version: ${result} '${version}'")
    endif()
    file(REMOVE_RECURSE "${root}")
  endforeach()
elseif(MODE STREQUAL "package")
  file(GLOB packages "${BUILD}/package/*.deb")
  list(LENGTH packages count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one package in ${BUILD}/package, found: ${packages}")
  endif()
  execute_process(COMMAND ${DPKG_DEB} -c ${packages} RESULT_VARIABLE result OUTPUT_VARIABLE listing)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -c ${packages} failed")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(actual "")
  foreach(line IN LISTS lines)
    # "-rw-r--r-- root/root  1234 2026-12-08 20:00 ./usr/bin/orbizo3-cli": files only.
    if(line MATCHES "^-[rwx-]+ root/root +[0-9]+ [^ ]+ [^ ]+ \\./(.+)$")
      list(APPEND actual "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[^d]")
      message(FATAL_ERROR "unexpected entry in the package: ${line}")
    endif()
  endforeach()
  list(SORT actual)
  expected_files(/usr expected)
  compare("dpkg-deb -c ${packages}" "${actual}" "${expected}")
else()
  message(FATAL_ERROR "MODE must be install or package")
endif()
