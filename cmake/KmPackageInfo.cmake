# SPDX-License-Identifier: MIT
# What the installed programs, the desktop files, the AppStream data, the man
# pages and the Debian package say about themselves. The version is the
# project's version (top-level CMakeLists.txt); everything else reads it here.

include(GNUInstallDirs)

set(KM_PACKAGE_NAME "km-meters")
# Date of the release named by PROJECT_VERSION (AppStream release, man pages,
# package changelog). Change it together with the version.
set(KM_RELEASE_DATE "2026-12-11")
set(KM_MAINTAINER "KM meters maintainers <maintainers@users.noreply.c-seed-a40511e2.example>")
# Where the repository's pictures are published (AppStream screenshots).
set(KM_SCREENSHOT_BASE_URL "${PROJECT_HOMEPAGE_URL}/raw/branch/main/docs/images"
    CACHE STRING "Web address of the repository's docs/images folder")

# Reverse-DNS application IDs: desktop file, icon, AppStream component and the
# Wayland app ID all use them.
set(KM_APP_ID_KM90 "org.kmmeters.km90")
set(KM_APP_ID_KM50_60 "org.kmmeters.km50_60")

# Installed data folder (km50.hlp) and where it lies seen from the installed
# programs, so that the programs find it under any prefix.
set(KM_INSTALL_PKGDATADIR "${CMAKE_INSTALL_DATADIR}/${KM_PACKAGE_NAME}")
set(KM_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Folder below the prefix for the cable's udev rule")
set(KM_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
    "Folder below the prefix for the meterlog@.service unit")
cmake_path(RELATIVE_PATH KM_INSTALL_PKGDATADIR BASE_DIRECTORY "${CMAKE_INSTALL_BINDIR}"
           OUTPUT_VARIABLE KM_PKGDATADIR_FROM_BINDIR)

configure_file("${CMAKE_CURRENT_LIST_DIR}/KmBuildInfo.h.in"
               "${PROJECT_BINARY_DIR}/generated/KmBuildInfo.h" @ONLY)
add_library(km_build_info INTERFACE)
target_include_directories(km_build_info INTERFACE "${PROJECT_BINARY_DIR}/generated")
