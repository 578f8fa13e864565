# Installs the addon's description for the prefix being installed into. Fcitx5 finds a library
# given by name only in its own addon folder; anywhere else the description gives the path.
cmake_path(SET addon_dir NORMALIZE "${QUORVIX_ADDON_DIR}")
cmake_path(SET fcitx_addon_dir NORMALIZE "${QUORVIX_FCITX_ADDON_DIR}")
if(addon_dir STREQUAL fcitx_addon_dir)
  set(QUORVIX_ADDON_LIBRARY libquorvix-fcitx5)
else()
  set(QUORVIX_ADDON_LIBRARY "${addon_dir}/libquorvix-fcitx5")
endif()
# Staged apart for each destination: installs into two prefixes may run at the same time (the
# tests do), and each writes its own description.
string(MD5 destination_key "$ENV{DESTDIR}${QUORVIX_CONF_DESTINATION}")
set(staged "${QUORVIX_CONF_STAGED_DIR}/${destination_key}/quorvix.conf")
configure_file("${QUORVIX_CONF_TEMPLATE}" "${staged}" @ONLY)
file(INSTALL DESTINATION "${QUORVIX_CONF_DESTINATION}" TYPE FILE FILES "${staged}")
