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
    elseif(prefix STREQUAL "/usr/local")
      set(rules_dir "/etc/udev/rules.d")
    else()
      set(rules_dir "${prefix}/lib/udev/rules.d")
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

# Installs with `prefix` below `root` (DESTDIR when `destdir` is set, else the prefix is
# already below it), as `user` when one is given; compares the files and the install manifest.
function(check_install what prefix root destdir user)
  file(REMOVE_RECURSE "${root}")
  file(MAKE_DIRECTORY "${root}")
  set(command ${CMAKE_COMMAND} --install "${BUILD}" --prefix "${prefix}")
  if(destdir)
    set(command ${CMAKE_COMMAND} -E env "DESTDIR=${root}" ${command})
  endif()
  set(manifest "${BUILD}/install_manifest.txt")
  if(user)
    # The user owns the prefix and the manifest that cmake --install writes, nothing else.
    file(TOUCH "${manifest}")
    execute_process(COMMAND chown -R "${user}" "${root}" "${manifest}")
    set(command runuser -u "${user}" -- ${command})
  endif()
  execute_process(COMMAND ${command} RESULT_VARIABLE result OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed: ${result}\n${output}")
  endif()
  file(GLOB_RECURSE actual RELATIVE "${root}" "${root}/*")
  list(SORT actual)
  expected_files(${prefix} expected)
  if(NOT destdir)
    # The prefix lies below the root: name the expected files from the root.
    string(REGEX REPLACE "^/+" "" root_relative "${root}")
    string(LENGTH "${root_relative}/" cut)
    set(from_root "")
    foreach(file IN LISTS expected)
      string(SUBSTRING "${file}" ${cut} -1 file)
      list(APPEND from_root "${file}")
    endforeach()
    set(expected "${from_root}")
  endif()
  compare("${what}" "${actual}" "${expected}")
  # Everything the manifest names (without DESTDIR) lies below the root: nothing went outside.
  file(STRINGS "${manifest}" installed)
  foreach(file IN LISTS installed)
    if(destdir)
      set(file "${root}${file}")
    endif()
    string(FIND "${file}" "${root}/" at)
    if(NOT at EQUAL 0)
      message(FATAL_ERROR "${what} wrote outside ${root}: ${file}")
    endif()
  endforeach()
  if(NOT prefix MATCHES "^/usr(/local)?$" AND NOT RULES_DIR
     AND NOT output MATCHES "udev does not read [^\n]*/lib/udev/rules.d; [^\n]*sudo cp ")
    message(FATAL_ERROR "${what}: no line on where the udev rule went:\n${output}")
  endif()
  # The program must run from where it was put.
  list(FILTER actual INCLUDE REGEX "/bin/orbizo3-cli$")
  execute_process(COMMAND "${root}/${actual}" --version
                  RESULT_VARIABLE result OUTPUT_VARIABLE version)
  if(NOT result EQUAL 0 OR NOT version MATCHES "^orbizo3-cli [0-9]+\\.[0-9]+\\.[0-9]+\n$")
    message(FATAL_ERROR "${what}: installed orbizo3-cli --version: ${result} '${version}'")
  endif()
  file(REMOVE_RECURSE "${root}")
  file(REMOVE "${manifest}")
endfunction()

if(MODE STREQUAL "install")
  set(checks "${BUILD}/install-check")
  # System installs, staged with DESTDIR.
  foreach(prefix /usr /usr/local)
    check_install("DESTDIR install --prefix ${prefix}" ${prefix} "${checks}${prefix}" TRUE "")
  endforeach()
  # A user's own prefix, staged with DESTDIR, and installed for real.
  check_install("DESTDIR install --prefix /home/user/.local" /home/user/.local
                "${checks}/staged" TRUE "")
  check_install("install --prefix <home>/.local" "${checks}/user/home/.local" "${checks}/user"
                FALSE "")
  # The same as a user who is not root, where the machine has one who can read the build.
  execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND runuser -u nobody -- test -r "${BUILD}/cmake_install.cmake"
                  RESULT_VARIABLE readable OUTPUT_QUIET ERROR_QUIET)
  if(uid STREQUAL "0" AND readable EQUAL 0)
    check_install("install --prefix <home>/.local as nobody" "${checks}/nobody/home/.local"
                  "${checks}/nobody" FALSE nobody)
  else()
    message(STATUS "no non-root user who can read the build: the user install ran as uid ${uid}")
  endif()
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
