#pragma once
// The contract with the external programs in the program directory.
//
// The system encodes, muxes and plays nothing itself. It runs these programs
// hidden, with standard output on a pipe (and, for the player, standard input
// on a pipe), and never reads their exit codes: success is judged from their
// output lines and from the files present afterwards.
//
//  encoder (ALDER.DAT)      given the MEncoder-syntax command lines of the
//                           command builder and the two stream-extraction
//                           lines of post-processing; writes the file after
//                           "-o"; prints progress lines holding "Pos:" with
//                           the percentage in the first parenthesised part;
//                           on a fatal error prints a line holding
//                           "Exiting...", which also holds "error parsing
//                           command line" when the options were refused; a
//                           run without such a line succeeded; a two-pass run
//                           leaves "divx2pass.log", which the job deletes.
//  frame-rate probe         given the quoted path of an AVI file; prints a
//  (BIRCH.DLL)              line holding "Video frame rate:" and the rate, of
//                           which the integer part is used.
//  MP4/3GP muxer            "-c" with a raw video stream and "-rate=", or
//  (CEDAR.DLL)              with a raw AAC stream, then the output file;
//                           "-force3GPCompliance" for 3GP. Creates the file
//                           with the video track, then adds the audio track.
//  PMP muxer (LARCH.DAT)    "-v" AVI, "-a" AAC, "-o" PMP; writes the PMP file
//                           and a log ending in ".pmp.log" beside it.
//  atom editor (MAPLE.DLL)  input MP4, output file, atom-edit script; writes
//                           the output edited as the script directs.
//  player (MPlayer.exe)     the player's command line and slave commands;
//                           answers with its start-up and answer lines.
//
// A program that cannot be started, or that leaves no expected output file,
// fails the task.

namespace qf::core::external {

inline constexpr const char* kEncoderFile = "ALDER.DAT";
inline constexpr const char* kFrameRateProbeFile = "BIRCH.DLL";
inline constexpr const char* kMp4MuxerFile = "CEDAR.DLL";
inline constexpr const char* kPmpMuxerFile = "LARCH.DAT";
inline constexpr const char* kAtomEditorFile = "MAPLE.DLL";
inline constexpr const char* kAtomScriptFile = "SPRUCE.ini";
inline constexpr const char* kPlayerFile = "MPlayer.exe";
inline constexpr const char* kMediaInfoLibraryFile = "OLIVE.dll";
inline constexpr const char* kConfigurationFile = "cfg";

// Lines and files the system reads from the programs.
inline constexpr const char* kProgressMarker = "Pos:";
inline constexpr const char* kFatalMarker = "Exiting...";
inline constexpr const char* kBadOptionsMarker = "error parsing command line";
inline constexpr const char* kTwoPassLog = "divx2pass.log";
inline constexpr const char* kFrameRateMarker = "Video frame rate:";
inline constexpr const char* kPmpLogSuffix = ".pmp.log";

} // namespace qf::core::external
