# The Debian package (scripts/package.sh): everything installed above, under
# /usr, the program stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trivorn)
set(CPACK_PACKAGE_VERSION ${TRV_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TRV_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host a multiple-choice quiz played by e-mail")
set(CPACK_PACKAGE_DESCRIPTION [=[
With TRIVORN one operator hosts a multiple-choice quiz that players on
mobile phones play by e-mail. The operator prepares a round (mail account,
address book, invitation, questions, closing mail) and starts it: the
invitation goes out, the replies are fetched by POP3, every question goes
to each player by SMTP, the answers are scored and ranked live, the closing
mail goes out and the results are stored.

Replies are read from the feature phones of old and from the mail apps of
today. The program's windows are in Japanese.]=])
# The libraries come from the binary (dpkg-shlibdeps); what it loads or
# shows by other means is named here: fonts with Japanese glyphs, since every
# caption and mail is Japanese, Qt's own texts in Japanese (its dialogs and
# menus), and Qt's platform plugins. In Debian 12 the
# X (xcb) and offscreen ones ship with libqt6gui6, which the binary names;
# qt6-qpa-plugins holds the rest (VNC), and the Wayland one comes with
# qt6-wayland, without which Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
