# The installed program (GNUInstallDirs):
#   <prefix>/lib/quillfer/       the program directory: quillfer, quillfer-cli,
#                                the helper kit under the names the system runs
#                                it by, the help page, and MPlayer.exe and
#                                OLIVE.dll as links to Debian's player and
#                                media-information library
#   <prefix>/bin/quillfer, quillfer-cli   links into the program directory (it
#                                is where the real executable stands that
#                                start-up finds its tools beside)
#   <prefix>/share/...           menu entry, hicolor icons, AppStream
#                                metainfo, man pages, copyright and changelog
# Test and bench programs have no install rules.
include(GNUInstallDirs)

set(QF_INSTALL_PROGRAM_DIR "lib/quillfer" CACHE STRING "The program directory, relative to the prefix")
set(QF_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(QF_STAGE_DIR ${CMAKE_BINARY_DIR}/packaging)
set(QF_APP_ID org.quillfer.Quillfer)
set(QF_ICON_SIZES 16 22 24 32 48 64 128 256)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# A relative link (Debian's rule for links inside /usr), staged in the build
# tree and installed as the link itself.
function(qf_install_link name target destination)
  set(link ${QF_STAGE_DIR}/links/${destination}/${name})
  get_filename_component(folder ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${folder})
  file(CREATE_LINK ${target} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${destination})
endfunction()

function(qf_relative_to_program_dir out absolute)
  file(RELATIVE_PATH rel /usr/${QF_INSTALL_PROGRAM_DIR} ${absolute})
  set(${out} ${rel} PARENT_SCOPE)
endfunction()

# The program directory.
foreach(program quillfer quillfer-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${QF_INSTALL_PROGRAM_DIR})
    file(RELATIVE_PATH to_program /usr/${CMAKE_INSTALL_BINDIR} /usr/${QF_INSTALL_PROGRAM_DIR}/${program})
    qf_install_link(${program} ${to_program} ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
foreach(pair qf-encoder:ALDER.DAT qf-framerate-probe:BIRCH.DLL qf-mp4-muxer:CEDAR.DLL qf-pmp-muxer:LARCH.DAT
             qf-atom-editor:MAPLE.DLL)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 target)
  list(GET pair 1 name)
  if(TARGET ${target})
    install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION ${QF_INSTALL_PROGRAM_DIR} RENAME ${name})
    # Renamed programs are not targets to CMake's strip: strip them as the
    # package (or `cmake --install --strip`) strips the rest.
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QF_INSTALL_PROGRAM_DIR}/${name}\")
    endif()")
  endif()
endforeach()
if(QF_BUILD_UI)
  install(FILES ${CMAKE_SOURCE_DIR}/src/ui/main/help/index.html DESTINATION ${QF_INSTALL_PROGRAM_DIR}/help)
endif()
# Debian's programs, where the package's dependencies put them.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(QF_SYSTEM_LIBDIR /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(QF_SYSTEM_LIBDIR /usr/lib/x86_64-linux-gnu)
endif()
qf_relative_to_program_dir(to_mplayer /usr/bin/mplayer)
qf_relative_to_program_dir(to_mediainfo ${QF_SYSTEM_LIBDIR}/libmediainfo.so.0)
qf_install_link(MPlayer.exe ${to_mplayer} ${QF_INSTALL_PROGRAM_DIR})
qf_install_link(OLIVE.dll ${to_mediainfo} ${QF_INSTALL_PROGRAM_DIR})

# The icon, drawn by the program's own skin code at every size.
if(TARGET quillfer_ui)
  add_executable(qf-icon-generator ${QF_PACKAGING_DIR}/icon_generator.cpp)
  set_target_properties(qf-icon-generator PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QF_STAGE_DIR})
  find_package(Qt6 REQUIRED COMPONENTS Svg)
  target_link_libraries(qf-icon-generator PRIVATE quillfer_ui qf_common Qt6::Svg)
  set(icon_files ${QF_STAGE_DIR}/icons/scalable/apps/quillfer.svg)
  foreach(size ${QF_ICON_SIZES})
    list(APPEND icon_files ${QF_STAGE_DIR}/icons/${size}x${size}/apps/quillfer.png)
  endforeach()
  add_custom_command(OUTPUT ${icon_files}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:qf-icon-generator> ${QF_STAGE_DIR}/icons ${QF_ICON_SIZES}
    DEPENDS qf-icon-generator
    VERBATIM)
  add_custom_target(desktop_icons ALL DEPENDS ${icon_files})
  install(DIRECTORY ${QF_STAGE_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
endif()

# Completion of quillfer-cli's commands, options, models and files in bash.
install(FILES ${QF_PACKAGING_DIR}/quillfer-cli.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillfer-cli)

# Menu entry, metainfo, man pages, copyright and changelog.
install(FILES ${QF_PACKAGING_DIR}/${QF_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${QF_PACKAGING_DIR}/${QF_APP_ID}.metainfo.xml ${QF_STAGE_DIR}/${QF_APP_ID}.metainfo.xml @ONLY)
install(FILES ${QF_STAGE_DIR}/${QF_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The man pages name installed paths, and the prefix is known only when
# installing (CPack installs under /usr, whatever the build was configured
# with): the build leaves @QF_INSTALL_PREFIX@ in them for the install step.
set(QF_PROGRAM_DIR_INSTALLED "@QF_INSTALL_PREFIX@/${QF_INSTALL_PROGRAM_DIR}")
# The --set members of quillfer-cli(1) come from the value tables, by the
# built program itself, so the page lists every row the tables hold.
set(QF_SET_MEMBERS "@QF_SET_MEMBERS@")
set(QF_SET_MEMBERS_ROFF ${QF_STAGE_DIR}/man/set-members.roff)
add_custom_command(OUTPUT ${QF_SET_MEMBERS_ROFF}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QF_STAGE_DIR}/man
  COMMAND sh -c "ASAN_OPTIONS=detect_leaks=0 \"$0\" formats --members | sed -f \"$1\" > \"$2\""
          $<TARGET_FILE:quillfer-cli> ${QF_PACKAGING_DIR}/set-members.sed ${QF_SET_MEMBERS_ROFF}
  DEPENDS quillfer-cli ${QF_PACKAGING_DIR}/set-members.sed
  VERBATIM)
add_custom_target(man_set_members ALL DEPENDS ${QF_SET_MEMBERS_ROFF})
find_program(QF_GZIP gzip REQUIRED)
set(QF_MAN_PAGES)
foreach(page quillfer.1 quillfer-cli.1)
  configure_file(${QF_PACKAGING_DIR}/${page} ${QF_STAGE_DIR}/man/${page} @ONLY)
  list(APPEND QF_MAN_PAGES ${QF_STAGE_DIR}/man/${page})
endforeach()
# Debian wants them compressed with gzip -9n (no name, no time stamp), as is
# the changelog.
set(QF_GZIPPED)
foreach(file ${QF_PACKAGING_DIR}/changelog)
  get_filename_component(name ${file} NAME)
  set(gz ${QF_STAGE_DIR}/gz/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QF_STAGE_DIR}/gz
    COMMAND sh -c "${QF_GZIP} -9n -c \"$0\" > \"$1\"" ${file} ${gz}
    DEPENDS ${file}
    VERBATIM)
  list(APPEND QF_GZIPPED ${gz})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${QF_GZIPPED})
foreach(page ${QF_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  install(CODE "
    file(READ \"${page}\" text)
    file(READ \"${QF_SET_MEMBERS_ROFF}\" members)
    string(REPLACE \"@QF_INSTALL_PREFIX@\" \"\${CMAKE_INSTALL_PREFIX}\" text \"\${text}\")
    string(REPLACE \"@QF_SET_MEMBERS@\n\" \"\${members}\" text \"\${text}\")
    file(WRITE \"${QF_STAGE_DIR}/man/installed/${name}\" \"\${text}\")
    execute_process(COMMAND \"${QF_GZIP}\" -9nf \"${QF_STAGE_DIR}/man/installed/${name}\" COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1\" TYPE FILE
         FILES \"${QF_STAGE_DIR}/man/installed/${name}.gz\")")
endforeach()
install(FILES ${QF_STAGE_DIR}/gz/changelog.gz ${QF_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillfer)
