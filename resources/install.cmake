# The desktop menu entry and the program's icon in the hicolor sizes.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/analisis-socios.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icon/app-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME analisis-socios.png)
endforeach()

# Manual pages and the package's documentation folder, laid out as Debian
# expects: gzip -9n (no name or time stamp, so every build gives the same
# bytes), copyright uncompressed. Compressed at install time so that an
# edited source is never packaged stale.
find_program(GZIP gzip REQUIRED)
set(coop_compressed_dir ${CMAKE_BINARY_DIR}/compressed)
function(coop_install_gzipped source name destination)
  set(output ${coop_compressed_dir}/${name}.gz)
  install(CODE "
    file(MAKE_DIRECTORY \"${coop_compressed_dir}\")
    execute_process(COMMAND \"${GZIP}\" -9n -c \"${source}\"
                    OUTPUT_FILE \"${output}\" RESULT_VARIABLE code)
    if(NOT code EQUAL 0)
      message(FATAL_ERROR \"gzip ${source} failed: \${code}\")
    endif()")
  install(FILES ${output} DESTINATION ${destination})
endfunction()

foreach(page analisis-socios.1 revision-cartera.1)
  coop_install_gzipped(${CMAKE_CURRENT_LIST_DIR}/man/${page} ${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# Not CMAKE_INSTALL_DOCDIR: that follows the CMake project's name.
set(coop_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/analisis-socios)
coop_install_gzipped(${CMAKE_SOURCE_DIR}/README.md README.md ${coop_doc_dir})
# A version without a Debian revision makes a native package: changelog.gz.
coop_install_gzipped(${CMAKE_CURRENT_LIST_DIR}/debian/changelog changelog ${coop_doc_dir})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${coop_doc_dir})
# The scripts a site runs once on its database, as its owner: the analysts'
# role, the repair records' tables, the run history's tables, approval of
# repairs on and off (analisis-socios(1), revision-cartera(1)).
install(FILES ${CMAKE_SOURCE_DIR}/sql/analista.sql ${CMAKE_SOURCE_DIR}/sql/reparaciones.sql
              ${CMAKE_SOURCE_DIR}/sql/revisiones.sql ${CMAKE_SOURCE_DIR}/sql/aprobacion.sql
              ${CMAKE_SOURCE_DIR}/sql/sin_aprobacion.sql
        DESTINATION ${coop_doc_dir})

# The nightly check's timer and service, installed disabled. The service
# names the program where this install puts it (the prefix is known only
# at install time: cpack installs under /usr).
set(coop_units_dir ${CMAKE_BINARY_DIR}/systemd)
set(coop_service revision-cartera-nightly.service)
install(CODE "
  set(REVISION_CARTERA \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/revision-cartera\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/systemd/${coop_service}.in\"
                 \"${coop_units_dir}/${coop_service}\" @ONLY)")
install(FILES ${coop_units_dir}/${coop_service}
              ${CMAKE_CURRENT_LIST_DIR}/systemd/revision-cartera-nightly.timer
        DESTINATION lib/systemd/system)
