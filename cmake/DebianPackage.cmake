# `cpack -G DEB` in a build folder makes merivo_VERSION_ARCH.deb of what
# `cmake --install` installs, under /usr (scripts/package.sh does it all).
# The libraries the programs link are found by dpkg-shlibdeps.
set(MERIVO_MAINTAINER "The Merivo developers <maintainers@merivo.org>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME merivo)
set(CPACK_PACKAGE_VENDOR "The Merivo developers")
set(CPACK_PACKAGE_CONTACT "${MERIVO_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Merivo keeps your contacts (name, home and office address and
telephone, position, e-mail and web address) in one small database
file of your own. You add, browse, find, edit and delete contacts,
print a contact's card and produce a report of all contacts to print
or save as PDF. The companion command merivo-tool imports and exports
vCard and CSV files and makes backups.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MERIVO_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# merivo-tool reads the databases of older address books with mdb-export.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "mdbtools")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
