cmake_minimum_required(VERSION 3.25)
# Installs the build into a scratch DESTDIR and checks its files, validates
# the desktop entry, then builds the .deb and checks its contents and
# dependencies.
set(expected
  usr/bin/analisis-socios
  usr/bin/revision-cartera
  usr/lib/systemd/system/revision-cartera-nightly.service
  usr/lib/systemd/system/revision-cartera-nightly.timer
  usr/share/applications/analisis-socios.desktop
  usr/share/doc/analisis-socios/README.md.gz
  usr/share/doc/analisis-socios/analista.sql
  usr/share/doc/analisis-socios/aprobacion.sql
  usr/share/doc/analisis-socios/changelog.gz
  usr/share/doc/analisis-socios/copyright
  usr/share/doc/analisis-socios/reparaciones.sql
  usr/share/doc/analisis-socios/revisiones.sql
  usr/share/doc/analisis-socios/sin_aprobacion.sql
  usr/share/icons/hicolor/16x16/apps/analisis-socios.png
  usr/share/icons/hicolor/256x256/apps/analisis-socios.png
  usr/share/icons/hicolor/32x32/apps/analisis-socios.png
  usr/share/icons/hicolor/48x48/apps/analisis-socios.png
  usr/share/icons/hicolor/64x64/apps/analisis-socios.png
  usr/share/man/man1/analisis-socios.1.gz
  usr/share/man/man1/revision-cartera.1.gz)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${code}):\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)
set(ENV{DESTDIR} ${root})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
unset(ENV{DESTDIR})
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed files:\n${installed}\nexpected:\n${expected}")
endif()
# The installed programs answer without the build tree or a display.
foreach(program analisis-socios revision-cartera)
  run(env -u DISPLAY -u WAYLAND_DISPLAY ${root}/usr/bin/${program} --version)
  if(NOT out MATCHES "^${program} [0-9.]+\n$")
    message(FATAL_ERROR "${program} --version printed: ${out}")
  endif()
endforeach()

# The nightly check's units: the service runs the installed program with
# --registrar, and both pass systemd-analyze verify. Verify also wants the
# program where the unit names it and the manual page its Documentation=
# names: they are taken from the scratch install (copies of the units
# naming the program there, MANPATH its manual pages), so that the check
# needs nothing installed on this machine.
set(units ${root}/usr/lib/systemd/system)
file(READ ${units}/revision-cartera-nightly.service service)
if(NOT service MATCHES "\nExecStart=/usr/bin/revision-cartera --registrar \\$BASE_DE_DATOS\n")
  message(FATAL_ERROR "the service does not run /usr/bin/revision-cartera --registrar:\n${service}")
endif()
file(READ ${units}/revision-cartera-nightly.timer timer)
if(NOT timer MATCHES "\n\\[Install\\]\nWantedBy=timers.target\n")
  message(FATAL_ERROR "the timer is not wanted by timers.target:\n${timer}")
endif()
if(SYSTEMD_ANALYZE)
  set(verify ${WORK_DIR}/verify)
  file(MAKE_DIRECTORY ${verify})
  string(REPLACE "ExecStart=/usr/bin/" "ExecStart=${root}/usr/bin/" service "${service}")
  file(WRITE ${verify}/revision-cartera-nightly.service "${service}")
  file(COPY ${units}/revision-cartera-nightly.timer DESTINATION ${verify})
  # A unit that cannot fail first: where it does, systemd-analyze cannot
  # run here at all (some containers), which is not the units' fault.
  file(WRITE ${verify}/probe.service "[Service]\nType=oneshot\nExecStart=/bin/true\n")
  execute_process(COMMAND ${SYSTEMD_ANALYZE} verify --man=no ${verify}/probe.service
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(WARNING "systemd-analyze cannot run here (${code}): units not verified\n${out}${err}")
  else()
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env MANPATH=${root}/usr/share/man
              ${SYSTEMD_ANALYZE} verify ${verify}/revision-cartera-nightly.service
              ${verify}/revision-cartera-nightly.timer
      RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT code EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
      message(FATAL_ERROR "systemd-analyze verify (${code}):\n${out}${err}")
    endif()
  endif()
else()
  message(WARNING "systemd-analyze not found: units not verified")
endif()

# Compressed files hold their current source, gzip -n style (no name, no
# time stamp: the same bytes on every build).
set(sources
  "man/man1/analisis-socios.1.gz=resources/man/analisis-socios.1"
  "man/man1/revision-cartera.1.gz=resources/man/revision-cartera.1"
  "doc/analisis-socios/README.md.gz=README.md"
  "doc/analisis-socios/changelog.gz=resources/debian/changelog")
foreach(pair ${sources})
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 installed_file)
  list(GET pair 1 source_file)
  set(installed_file ${root}/usr/share/${installed_file})
  file(READ ${installed_file} header HEX LIMIT 8)
  if(NOT header STREQUAL "1f8b080000000000")
    message(FATAL_ERROR "${installed_file} is not gzip -n output: ${header}")
  endif()
  run(gzip -dc ${installed_file})
  file(READ ${SOURCE_DIR}/${source_file} expected_text)
  if(NOT out STREQUAL expected_text)
    message(FATAL_ERROR "${installed_file} does not hold ${source_file}")
  endif()
endforeach()
# The changelog names the version being packaged.
file(READ ${SOURCE_DIR}/resources/debian/changelog changelog)
file(READ ${BUILD_DIR}/CPackConfig.cmake cpack_config)
string(REGEX MATCH "set\\(CPACK_PACKAGE_VERSION \"([^\"]+)\"\\)" unused "${cpack_config}")
set(package_version "${CMAKE_MATCH_1}")
if(package_version STREQUAL "" OR NOT changelog MATCHES "^analisis-socios \\(${package_version}\\) ")
  message(FATAL_ERROR "resources/debian/changelog does not begin with version '${package_version}'")
endif()

if(DESKTOP_FILE_VALIDATE)
  run(${DESKTOP_FILE_VALIDATE} ${root}/usr/share/applications/analisis-socios.desktop)
  if(NOT out STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate: ${out}")
  endif()
else()
  message(WARNING "desktop-file-validate not found: desktop entry not validated")
endif()
file(READ ${root}/usr/share/applications/analisis-socios.desktop entry)
set(want_Name "Análisis de Socios")
set(want_Exec analisis-socios)
set(want_Icon analisis-socios)
set(want_Categories "Office;Finance;")
foreach(key Name Exec Icon Categories)
  set(line "${key}=${want_${key}}")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "desktop entry lacks ${line}:\n${entry}")
  endif()
endforeach()

# The package: same files under /usr, named for Debian, with the run-time
# dependencies the binaries cannot show by themselves.
run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}/package)
file(GLOB debs ${WORK_DIR}/package/analisis-socios_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one analisis-socios_*.deb, found: ${debs}")
endif()
run(${DPKG_DEB} -c ${debs})
foreach(file ${expected})
  string(FIND "${out}" " ./${file}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "package lacks ${file}:\n${out}")
  endif()
endforeach()
# Everything root's, readable by all, executable only where it is a program.
string(REGEX MATCHALL "[^\n]+\n" entries "${out}")
foreach(entry ${entries})
  if(entry MATCHES "^-" AND NOT entry MATCHES "^-rw-r--r-- root/root .* ./usr/share/"
     AND NOT entry MATCHES "^-rw-r--r-- root/root .* ./usr/lib/systemd/system/"
     AND NOT entry MATCHES "^-rwxr-xr-x root/root .* ./usr/bin/")
    message(FATAL_ERROR "package file with unexpected mode or owner: ${entry}")
  endif()
endforeach()
run(${DPKG_DEB} -f ${debs} Depends)
foreach(dependency libfbclient2 firebird3.0-server-core libqt6widgets6 libqt6gui6 libqt6core6
                   libqt6charts6 qt6-qpa-plugins qt6-translations-l10n libxlsxwriter4)
  if(NOT out MATCHES "(^|, )${dependency}( |,|\n)")
    message(FATAL_ERROR "package does not depend on ${dependency}: ${out}")
  endif()
endforeach()
