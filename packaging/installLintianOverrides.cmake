# Run by CPack while it stages the package (file(INSTALL) adds the staging
# DESTDIR), so that the lintian overrides are packaged but not put in place
# by a plain `cmake --install`.
file(INSTALL ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
  DESTINATION "${CPACK_PACKAGING_INSTALL_PREFIX}/share/lintian/overrides"
  RENAME larkwin
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
