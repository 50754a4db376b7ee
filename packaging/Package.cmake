# `make package`: CPack builds kickstand_VERSION_ARCH.deb from the install
# rules, with the run-time dependencies that dpkg-shlibdeps finds.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kickstand)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KICKSTAND_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "boot-time service activation program")
set(CPACK_PACKAGE_DESCRIPTION [[
kickstand starts a host's services at boot. It reads plugins (JSON
descriptions, native shared objects, debug shell commands and init.d
services), links them into one dependency graph through named barriers and
activates them on a pool of worker threads, one at a time or in parallel.

Outside boot it runs single plugin methods, starts or stops every init.d
service, and writes the dependency graph as Graphviz text. The package also
holds the native plugin header and its pkg-config file.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Boost is linked statically, which keeps its shared objects (and ICU,
# bzip2, lzma and zstd behind them) out of every run's start, and so is the
# C++ run time into kickstand itself, which then needs only libc6 and
# zlib1g. Depends names those and, for kickstand-analyze, libstdc++6 and
# libgcc-s1; no libboost-* package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
