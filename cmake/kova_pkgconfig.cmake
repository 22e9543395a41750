# pkg-config files of a library of this project, in the two places a host
# builds against:
#
#  - <name>-uninstalled.pc in the top build directory, naming the headers of
#    the source tree and the library where the build put it. pkg-config looks
#    for <name>-uninstalled.pc before <name>.pc in every directory of its
#    path, so `PKG_CONFIG_PATH=build/dev pkg-config --cflags --libs kova`
#    works without installing anything.
#  - <name>.pc for the install tree, written when installing rather than when
#    configuring: it names the prefix actually installed to, so that
#    `cmake --install build/release --prefix /opt/kova` gives a file that
#    points into /opt/kova, not to the prefix configured.
#
# The template sets prefix, libdir and includedir from @pc_prefix@,
# @pc_libdir@ and @pc_includedir@, and its version from @pc_version@.
function(kova_pkg_config name template target version)
  set(pc_version ${version})

  set(pc_prefix ${PROJECT_BINARY_DIR})
  set(pc_libdir "$<TARGET_LINKER_FILE_DIR:${target}>")
  set(pc_includedir ${PROJECT_SOURCE_DIR}/include)
  configure_file(${template} ${CMAKE_CURRENT_BINARY_DIR}/${name}-uninstalled.pc.in @ONLY)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/${name}-uninstalled.pc
    INPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}-uninstalled.pc.in)

  # Relative install directories are written under ${prefix}, as pkg-config
  # files usually do; absolute ones as they are.
  foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
      set(install_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
      set(install_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
  endforeach()
  set(installed ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig-install/${name}.pc)
  install(CODE "
    set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(pc_libdir [[${install_LIBDIR}]])
    set(pc_includedir [[${install_INCLUDEDIR}]])
    set(pc_version [[${version}]])
    configure_file([[${template}]] [[${installed}]] @ONLY)")
  install(FILES ${installed} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endfunction()
