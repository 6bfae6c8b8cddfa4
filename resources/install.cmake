# The desktop menu entry and the program's icon in the hicolor sizes.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/analisis-socios.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 256)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/icon/app-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME analisis-socios.png)
endforeach()
