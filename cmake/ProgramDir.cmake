# Lays out the program directory (QF_PROGRAM_DIR): the system's executables,
# the helper kit under the names the system runs them by, and links to the
# player and the media-information library that Debian provides.

# qf_program_tool(<target> <name>): after <target> builds, copy it into the
# program directory as <name> (e.g. ALDER.DAT).
function(qf_program_tool target name)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${QF_PROGRAM_DIR}/${name}
    VERBATIM)
endfunction()

find_program(QF_MPLAYER mplayer)
find_library(QF_MEDIAINFO NAMES libmediainfo.so.0 mediainfo)
if(NOT QF_MPLAYER)
  message(WARNING "mplayer not found: MPlayer.exe is missing from the program directory (apt-get install mplayer)")
endif()
if(NOT QF_MEDIAINFO)
  message(WARNING "libmediainfo.so.0 not found: OLIVE.dll is missing from the program directory (apt-get install libmediainfo0v5)")
endif()

add_custom_target(program_dir_links ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QF_PROGRAM_DIR}
  COMMAND ${CMAKE_COMMAND} -E create_symlink $<IF:$<BOOL:${QF_MPLAYER}>,${QF_MPLAYER},/usr/bin/mplayer> ${QF_PROGRAM_DIR}/MPlayer.exe
  COMMAND ${CMAKE_COMMAND} -E create_symlink $<IF:$<BOOL:${QF_MEDIAINFO}>,${QF_MEDIAINFO},/usr/lib/x86_64-linux-gnu/libmediainfo.so.0> ${QF_PROGRAM_DIR}/OLIVE.dll
  VERBATIM)
