# Message catalogs: compiled into the folder "locale" beside a program for a run in the build
# tree, installed in the package's own locale folder; rxport::catalogDir finds either from the
# program's place.
#   rx_add_catalogs(PROGRAM DOMAIN...)   (po/<lang>/<domain>.po beside the calling CMakeLists)
include(GNUInstallDirs)
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
set(RX_LOCALEDIR ${CMAKE_INSTALL_DATADIR}/velmora-rx-tools/locale)

function(rx_add_catalogs program)
  set(catalogs)
  foreach(lang pt_BR)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/locale/${lang}/LC_MESSAGES)
    foreach(domain IN LISTS ARGN)
      set(po ${CMAKE_CURRENT_SOURCE_DIR}/po/${lang}/${domain}.po)
      add_custom_command(OUTPUT ${folder}/${domain}.mo
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${MSGFMT_EXECUTABLE} --check -o ${folder}/${domain}.mo ${po}
        DEPENDS ${po}
        COMMENT "Compiling the ${lang} catalog ${domain}.mo"
        VERBATIM)
      list(APPEND catalogs ${folder}/${domain}.mo)
      install(FILES ${folder}/${domain}.mo DESTINATION ${RX_LOCALEDIR}/${lang}/LC_MESSAGES)
    endforeach()
  endforeach()
  add_custom_target(${program}_catalogs ALL DEPENDS ${catalogs})
endfunction()
