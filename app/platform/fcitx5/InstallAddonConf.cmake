# Installs the addon's description for the prefix being installed into. Fcitx5 finds a library
# given by name only in its own addon folder; anywhere else the description gives the path.
cmake_path(SET addon_dir NORMALIZE "${QUORVIX_ADDON_DIR}")
cmake_path(SET fcitx_addon_dir NORMALIZE "${QUORVIX_FCITX_ADDON_DIR}")
if(addon_dir STREQUAL fcitx_addon_dir)
  set(QUORVIX_ADDON_LIBRARY libquorvix-fcitx5)
else()
  set(QUORVIX_ADDON_LIBRARY "${addon_dir}/libquorvix-fcitx5")
endif()
configure_file("${QUORVIX_CONF_TEMPLATE}" "${QUORVIX_CONF_STAGED}" @ONLY)
file(INSTALL DESTINATION "${QUORVIX_CONF_DESTINATION}" TYPE FILE FILES "${QUORVIX_CONF_STAGED}")
