# The Debian package, made by CPack from the install rules (cmake/Install.cmake):
#   cpack -G DEB   ->   quillfer_<version>_<arch>.deb
# Shared-library dependencies are computed by dpkg-shlibdeps; the programs run
# beside the package are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillfer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio/video converter with a preview player")
# The first line of the control file's description is the summary above.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillfer converts media files for phones, iPod, PSP, Flash, DVD, VCD,
Windows Media and MP3 players: add files to the task list, pick a device,
a model and an output format, adjust the parameters and convert in the
background. A second view plays files with a playlist. The user interface
is in Chinese. The headless companion quillfer-cli converts from scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A project address for now (example.org is reserved, and lintian takes it).
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillfer developers <quillfer@example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillfer.example.org/")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The encoder and the probe drive ffmpeg/ffprobe; mplayer plays; the media
# library is loaded at run time (OLIVE.dll); the interface wants a Song face.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, mplayer, libmediainfo0v5, fonts-arphic-uming")
# The click sounds go through the sound server's library, loaded at run time.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libpulse0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# A purge removes what an administrator added (/etc/quillfer, files in the
# program directory).
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postrm)
include(CPack)
