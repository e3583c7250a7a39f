# The Debian package of larkwin, made by CPack's DEB generator from the same
# install rules that `cmake --install` follows:
#   cpack --config build/CPackConfig.cmake -B build
# (or the "package" workflow preset) writes build/larkwin_<version>_<arch>.deb.
# Man pages and the changelog are compressed at build time with gzip -9n, so
# that the package is the same from one build to the next.
include(GNUInstallDirs)

find_program(LARKWIN_GZIP gzip REQUIRED)
set(larkwin_compressed_dir ${PROJECT_BINARY_DIR}/compressed)
set(larkwin_compressed)
foreach(source docs/larkwin.1 docs/larkwin-pack.1 packaging/changelog)
  get_filename_component(name ${source} NAME)
  set(compressed ${larkwin_compressed_dir}/${name}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${larkwin_compressed_dir}
    COMMAND sh -c "\"$0\" -9n -c \"$1\" > \"$2\"" ${LARKWIN_GZIP}
      ${PROJECT_SOURCE_DIR}/${source} ${compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    COMMENT "Compressing ${source}"
    VERBATIM)
  list(APPEND larkwin_compressed ${compressed})
endforeach()
add_custom_target(larkwin-compressed-docs ALL DEPENDS ${larkwin_compressed})

install(FILES ${larkwin_compressed_dir}/larkwin.1.gz ${larkwin_compressed_dir}/larkwin-pack.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${larkwin_compressed_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(LARKWIN_DEB_MAINTAINER "larkwin developers <dev@larkwin.invalid>"
  CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkwin)
set(CPACK_PACKAGE_VENDOR "larkwin developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "native launcher for Java applications")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
find_program(LARKWIN_DPKG dpkg)
if(LARKWIN_DPKG)
  execute_process(COMMAND ${LARKWIN_DPKG} --print-architecture
    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
# What DEB-DEFAULT names the package: the tests look for it there.
set(LARKWIN_DEB_FILE
  ${PROJECT_BINARY_DIR}/larkwin_${PROJECT_VERSION}_${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}.deb)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LARKWIN_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION java)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The launcher is linked statically; dpkg-shlibdeps finds what larkwin-pack
# needs. A bundle may ship its own runtime, so Java is only recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "default-jre-headless | java-runtime-headless")
# The summary above is the first line; CPack indents these.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"larkwin is started as if it were the application: it reads a configuration
(a file beside it, or the comment of a jar appended to it), assembles the
class path, VM options, main class and parameters, finds a Java runtime and
runs it as a child process, passing on signals and the exit status.

larkwin-pack makes one self-contained executable of the launcher and an
application's jar. larkwin-app.jar gives the application the launcher's
single-instance hand-over and environment dump.")
# Lintian reads the launcher, a static position-independent executable, as a
# shared library without dependencies; the override says so. It goes into
# the package only, not into a plain `cmake --install`.
set(CPACK_INSTALL_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/installLintianOverrides.cmake)
include(CPack)
