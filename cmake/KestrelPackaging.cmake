# What `cmake --install` puts on a system, and the Debian package CPack makes of it.
# Included from the top-level CMakeLists.txt after the kestrel target exists.
include(GNUInstallDirs)

set(KESTREL_APP_ID "io.github.kestrel.Kestrel")
set(KESTREL_RELEASE_DATE "2026-12-08")
set(KESTREL_RELEASE_DATE_RFC2822 "Tue, 08 Dec 2026 00:00:00 +0000")
set(KESTREL_MAINTAINER "The Kestrel developers <kestrel@example.org>")

set(_share "${CMAKE_BINARY_DIR}/share")
configure_file(${CMAKE_SOURCE_DIR}/res/${KESTREL_APP_ID}.metainfo.xml.in
  ${_share}/${KESTREL_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/res/kestrel.1.in ${_share}/kestrel.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/res/kestrel-dupe.1.in ${_share}/kestrel-dupe.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/res/changelog.in ${_share}/changelog @ONLY)

# The bitmap icons come from the one SVG, drawn by our own toolkit. The tool runs at build time,
# so it is built without the sanitizers the rest of a tree may carry.
add_executable(kestrel_render_icon ${CMAKE_SOURCE_DIR}/cmake/tools/RenderIcon.cpp)
target_link_libraries(kestrel_render_icon PRIVATE Qt6::Gui Qt6::Svg)
set_target_properties(kestrel_render_icon PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra" LINK_OPTIONS "")

# Up to 32 pixels the detailed bird blurs, so those sizes come from the simplified outline.
set(_icon_svg ${CMAKE_SOURCE_DIR}/res/art/kestrel.svg)
set(_small_icon_svg ${CMAKE_SOURCE_DIR}/res/art/kestrel-small.svg)
set(_generated "")
foreach(size 16 22 24 32 48 64 128 256)
  set(svg ${_icon_svg})
  if(size LESS_EQUAL 32)
    set(svg ${_small_icon_svg})
  endif()
  set(png ${_share}/icons/${size}/${KESTREL_APP_ID}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_share}/icons/${size}
    COMMAND kestrel_render_icon ${svg} ${size} ${png}
    DEPENDS kestrel_render_icon ${svg}
    COMMENT "Rendering the ${size}-pixel icon")
  list(APPEND _generated ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants the manual page and the changelog compressed, reproducibly (-n: no time stamp).
foreach(name kestrel.1 kestrel-dupe.1 changelog)
  add_custom_command(OUTPUT ${_share}/${name}.gz
    COMMAND gzip -9nf -k ${_share}/${name}
    DEPENDS ${_share}/${name}
    COMMENT "Compressing ${name}")
  list(APPEND _generated ${_share}/${name}.gz)
endforeach()
add_custom_target(kestrel_install_data ALL DEPENDS ${_generated})

install(TARGETS kestrel kestrel-dupe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kestrel-dupe-check RUNTIME DESTINATION ${KESTREL_DUPE_CHECKER_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/${KESTREL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_icon_svg} RENAME ${KESTREL_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_share}/${KESTREL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_share}/kestrel.1.gz ${_share}/kestrel-dupe.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where Debian's bash-completion loads a command's completion on demand.
install(FILES ${CMAKE_SOURCE_DIR}/res/kestrel-dupe.bash RENAME kestrel-dupe
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${CMAKE_SOURCE_DIR}/res/copyright ${_share}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrel)

# cpack -G DEB (scripts/package): Depends come from the binary's libraries (dpkg-shlibdeps, in
# dpkg-dev), plus the font Qt loads at run time. The SVG image and icon plugins Qt loads for our
# artwork ship in libqt6svg6, which the binary links and dpkg-shlibdeps therefore lists.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "The Kestrel developers")
set(CPACK_PACKAGE_VERSION ${KESTREL_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "${KESTREL_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for a shared dupe database")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrel looks up release directories in a shared MySQL or MariaDB dupe
database. Type a search mask with words, wildcards, AND, OR and brackets,
optionally limit it to a range of dates, and see the matches with their dates
in a two-column list.

It also shows the NFO texts stored with a release and the statistics of the
servers, copies results to the clipboard, keeps a session log and a history of
masks, and sits in the system tray. The addresses of its primary and backup
servers are chosen when it is built.

The package also holds kestrel-dupe, the same search for shells, scripts and
bots: masks or whole directory names (many at once from standard input),
plain or JSON output, and the exit status of grep.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The local copies are SQLite files: dpkg-shlibdeps finds the library too, named here so that a
# link option never drops it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, libsqlite3-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
