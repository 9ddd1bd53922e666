# Message catalogs: compiled into the folder "locale" beside a program for a run in the build
# tree, installed in the package's own locale folder; rxport::catalogDir finds either from the
# program's place.
#   rx_add_catalogs(PROGRAM DOMAIN... [SHARED DOMAIN...])
# A DOMAIN's source is po/<lang>/<domain>.po beside the calling CMakeLists; a SHARED domain is a
# library's, po/<lang>/<domain>.po in the top folder of that name, compiled beside every program
# that uses it and installed once.
include(GNUInstallDirs)
find_program(MSGFMT_EXECUTABLE msgfmt REQUIRED)
set(RX_LOCALEDIR ${CMAKE_INSTALL_DATADIR}/velmora-rx-tools/locale)

function(rx_add_catalogs program)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SHARED")
  set(catalogs)
  foreach(lang pt_BR)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/locale/${lang}/LC_MESSAGES)
    set(sources)
    foreach(domain IN LISTS arg_UNPARSED_ARGUMENTS)
      list(APPEND sources "${domain}=${CMAKE_CURRENT_SOURCE_DIR}/po/${lang}/${domain}.po")
    endforeach()
    foreach(domain IN LISTS arg_SHARED)
      list(APPEND sources "${domain}=${PROJECT_SOURCE_DIR}/${domain}/po/${lang}/${domain}.po")
    endforeach()
    foreach(source IN LISTS sources)
      string(REGEX REPLACE "=.*" "" domain "${source}")
      string(REGEX REPLACE "^[^=]*=" "" po "${source}")
      add_custom_command(OUTPUT ${folder}/${domain}.mo
        COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
        COMMAND ${MSGFMT_EXECUTABLE} --check -o ${folder}/${domain}.mo ${po}
        DEPENDS ${po}
        COMMENT "Compiling the ${lang} catalog ${domain}.mo"
        VERBATIM)
      list(APPEND catalogs ${folder}/${domain}.mo)
      get_property(installed GLOBAL PROPERTY RX_INSTALLED_CATALOGS)
      if(NOT "${lang}/${domain}" IN_LIST installed)
        set_property(GLOBAL APPEND PROPERTY RX_INSTALLED_CATALOGS "${lang}/${domain}")
        install(FILES ${folder}/${domain}.mo DESTINATION ${RX_LOCALEDIR}/${lang}/LC_MESSAGES)
      endif()
    endforeach()
  endforeach()
  add_custom_target(${program}_catalogs ALL DEPENDS ${catalogs})
endfunction()
