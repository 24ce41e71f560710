// Both command lines of every built-in model and format, and of the panel's
// typical changes on top of the defaults, written out by hand and compared
// byte for byte. The encoder and the devices depend on every blank and colon.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <span>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/command_line_builder.h"

namespace qf::convert {
namespace {

// Every expected line starts with the encoder and the source.
constexpr const char* kPrefix = R"("C:/Tools/Conv/ALDER.DAT" "D:/in/clip.avi")";

struct Case {
    const char* name;
    int32_t category;
    int32_t model;
    int32_t format;
    const char* sets = ""; // "member=value member=value ..." applied after the defaults
    const char* media = "av"; // av, video (no audio) or audio (no video)
    const char* start = "";
    const char* stop = "";
    const char* first = ""; // after kPrefix; empty = no command
    const char* second = "";
    int32_t previousCategory = -1; // a model shown before this one, when >= 0
    int32_t previousModel = 0;
    int32_t previousFormat = 0;
};

// Shared tails.
#define MP3_DEFAULT                                                                                                    \
    R"(  -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"
#define FLV_DEFAULT                                                                                                    \
    R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"
#define WMV_DEFAULT                                                                                                    \
    R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"
#define WMA_DEFAULT                                                                                                    \
    R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o "D:/out/clip.avi-wma.wma")"
#define IPOD_MP4_X264                                                                                                  \
    R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=640:480,harddup -ofps 30000/1001 -oac faac -faacopts br=128:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=13:nocabac:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"
#define IPOD_MP4_XVID                                                                                                  \
    R"( -sws 9 -af volnorm -srate 48000 -vf-add scale=640:480,harddup -ofps 30000/1001 -oac faac -faacopts br=128:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")"
#define IPOD_MP4_DIVX                                                                                                  \
    R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=640:480,harddup -ofps 30000/1001 -oac faac -faacopts br=128:mpeg=4:object=2:raw -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vbitrate=500:mbd=2:mv0:trell:aglobal=1:vglobal=1 -o "D:/out/clip.avi-mp4.mp4")"
#define DVD_FIRST                                                                                                      \
    R"( -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")"
#define DVD_SECOND                                                                                                     \
    R"( -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"
#define FILM_FIRST                                                                                                     \
    R"( -of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")"
#define FILM_SECOND                                                                                                    \
    R"( -of mpeg -mpegopts format=dvd:tsaf:telecine -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 24000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"

const Case kDefaults[]
    = {
        {"phone_3gp", 0, 0, 0, "", "av", "", "",
         R"(  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")"},
        {"phone_mp4_x264", 0, 0, 5, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=320:240,harddup -ofps 15 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
        {"phone_mp4_xvid", 0, 0, 6, "", "av", "", "",
         R"( -sws 9 -af volnorm -srate 44100 -vf-add scale=320:240,harddup -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=128:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")"},
        {"phone_mp3", 0, 0, 8, "", "av", "", "", MP3_DEFAULT},
        {"ipod_touch_x264", 1, 0, 5, "", "av", "", "", IPOD_MP4_X264},
        {"ipod_touch_xvid", 1, 0, 6, "", "av", "", "", IPOD_MP4_XVID},
        {"ipod_touch_divx", 1, 0, 7, "", "av", "", "", IPOD_MP4_DIVX},
        {"ipod_touch_mp3", 1, 0, 8, "", "av", "", "", MP3_DEFAULT},
        {"ipod_classic_x264", 1, 1, 5, "", "av", "", "", IPOD_MP4_X264},
        {"ipod_classic_xvid", 1, 1, 6, "", "av", "", "", IPOD_MP4_XVID},
        {"ipod_classic_divx", 1, 1, 7, "", "av", "", "", IPOD_MP4_DIVX},
        {"ipod_classic_mp3", 1, 1, 8, "", "av", "", "", MP3_DEFAULT},
        {"ipod_nano_x264", 1, 2, 5, "", "av", "", "", IPOD_MP4_X264},
        {"ipod_nano_xvid", 1, 2, 6, "", "av", "", "", IPOD_MP4_XVID},
        {"ipod_nano_divx", 1, 2, 7, "", "av", "", "", IPOD_MP4_DIVX},
        {"ipod_nano_mp3", 1, 2, 8, "", "av", "", "", MP3_DEFAULT},
        {"ipod_shuffle_mp3", 1, 3, 8, "", "av", "", "", MP3_DEFAULT},
        {"psp_pmp", 2, 0, 1, "", "av", "", "",
         R"( -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:level_idc=13:pictiming:nopsnr:nossim -o "D:/out/clip.avi-pmp.avi")"},
        {"psp_mp4_x264", 2, 0, 2, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
        {"psp_mp4_xvid", 2, 0, 3, "", "av", "", "",
         R"( -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")"},
        {"psp_mp4_divx", 2, 0, 4, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 24000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=64:mpeg=4:object=2:raw -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vbitrate=500:mbd=2:mv0:trell:aglobal=1:vglobal=1 -o "D:/out/clip.avi-mp4.mp4")"},
        {"psp_mp3", 2, 0, 8, "", "av", "", "", MP3_DEFAULT},
        {"flash_flv", 3, 0, 9, "", "av", "", "", FLV_DEFAULT},
        {"dvd_ntsc", 4, 0, 10, "", "av", "", "", DVD_FIRST, DVD_SECOND},
        {"dvd_pal", 4, 0, 11, "", "av", "", "",
         R"( -of mpeg -mpegopts format=dvd -vf-add scale=720:576,harddup -ofps 25 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=15:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
         R"( -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:576,harddup -ofps 25 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=15:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"dvd_film_ntsc", 4, 1, 10, "", "av", "", "", FILM_FIRST, FILM_SECOND},
        {"dvd_film_pal", 4, 1, 11, "", "av", "", "",
         R"( -of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:576,harddup -ofps 24000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")", R"( -of mpeg -mpegopts format=dvd:tsaf:telecine -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:576,harddup -ofps 24000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"svcd_ntsc", 5, 0, 10, "", "av", "", "",
         R"( -of mpeg -mpegopts format=xsvcd -vf-add scale=480:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:turbo:trell:mbd=2:keyint=18:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
         R"( -of mpeg -mpegopts format=xsvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=480:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=mp2:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:trell:mbd=2:keyint=18:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"svcd_pal", 5, 0, 11, "", "av", "", "",
         R"( -of mpeg -mpegopts format=xsvcd -vf-add scale=480:576,harddup -ofps 25 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:turbo:trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
         R"( -of mpeg -mpegopts format=xsvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=480:576,harddup -ofps 25 -oac lavc -lavcopts acodec=mp2:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"xvcd_ntsc", 5, 1,
         10, "", "av", "", "", R"( -of mpeg -mpegopts format=xvcd -vf-add scale=352:240,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:turbo:trell:mbd=2:keyint=18:vrc_buf_size=327:vrc_minrate=1152:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")", R"( -of mpeg -mpegopts format=xvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=352:240,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=mp2:abitrate=224 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:trell:mbd=2:keyint=18:vrc_buf_size=327:vrc_minrate=1152:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"xvcd_pal", 5, 1, 11, "", "av", "", "",
         R"( -of mpeg -mpegopts format=xvcd -vf-add scale=352:288,harddup -ofps 25 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:turbo:trell:mbd=2:keyint=15:vrc_buf_size=327:vrc_minrate=1152:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
         R"( -of mpeg -mpegopts format=xvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=352:288,harddup -ofps 25 -oac lavc -lavcopts acodec=mp2:abitrate=224 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:trell:mbd=2:keyint=15:vrc_buf_size=327:vrc_minrate=1152:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
        {"windows_media_wmv", 6, 0, 12, "", "av", "", "", WMV_DEFAULT},
        {"windows_media_wma", 6, 0, 13, "", "av", "", "", WMA_DEFAULT},
        {"mp3", 7, 0, 8, "", "av", "", "", MP3_DEFAULT},
        // Today's players: H.264 High, HEVC (hvc1), AV1, VP9 and the music formats.
        {"hd_2160p", 8, 0, 14, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=3840:2160:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=51:vrc_maxrate=50000:vrc_buf_size=62500 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hd_1080p", 8, 1, 14, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=41:vrc_maxrate=20000:vrc_buf_size=25000 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hd_720p", 8, 2, 14, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=40:vrc_maxrate=10000:vrc_buf_size=12500 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hd_480p", 8, 3, 14, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=854:480:0:2,scale=0:0,autodeint,fpscap=30 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=31:vrc_maxrate=4000:vrc_buf_size=5000 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hd_source_size", 8, 4, 14, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast -o "D:/out/clip.avi-mp4.mp4")"},
        {"hevc_2160p", 9, 0, 15, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=3840:2160:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:vrc_maxrate=40000:vrc_buf_size=50000 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hevc_1080p", 9, 1, 15, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:vrc_maxrate=12000:vrc_buf_size=15000 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hevc_720p", 9, 2, 15, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:vrc_maxrate=6000:vrc_buf_size=7500 -o "D:/out/clip.avi-mp4.mp4")"},
        {"hevc_source_size", 9, 3, 15, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast -o "D:/out/clip.avi-mp4.mp4")"},
        {"hevc_source_size_10bit", 9, 4, 15, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:highbitdepth -o "D:/out/clip.avi-mp4.mp4")"},
        {"av1_1080p_mkv", 10, 0, 17, "", "av", "", "",
         R"( -of lavf -lavfopts format=matroska -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mkv.mkv")"},
        {"av1_1080p_mp4", 10, 0, 16, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mp4.mp4")"},
        {"av1_720p_mkv", 10, 1, 17, "", "av", "", "",
         R"( -of lavf -lavfopts format=matroska -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mkv.mkv")"},
        {"av1_720p_mp4", 10, 1, 16, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mp4.mp4")"},
        {"av1_source_size_mkv", 10, 2, 17,
         "", "av", "", "", R"( -of lavf -lavfopts format=matroska -sws 9 -srate 48000 -vf-add autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mkv.mkv")"},
        {"av1_source_size_mp4", 10, 2, 16, "", "av", "", "",
         R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mp4.mp4")"},
        {"webm_1080p", 11, 0, 18, "", "av", "", "",
         R"( -of lavf -lavfopts format=webm -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libvpx-vp9:vcrf=32:o=deadline=good,cpu-used=4,row-mt=1 -o "D:/out/clip.avi-webm.webm")"},
        {"webm_720p", 11, 1, 18, "", "av", "", "",
         R"( -of lavf -lavfopts format=webm -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libvpx-vp9:vcrf=32:o=deadline=good,cpu-used=4,row-mt=1 -o "D:/out/clip.avi-webm.webm")"},
        {"webm_480p", 11, 2, 18, "", "av", "", "",
         R"( -of lavf -lavfopts format=webm -sws 9 -srate 48000 -vf-add dsize=854:480:0:2,scale=0:0,autodeint,fpscap=30 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libvpx-vp9:vcrf=32:o=deadline=good,cpu-used=4,row-mt=1 -o "D:/out/clip.avi-webm.webm")"},
        {"music_m4a", 12, 0, 19, "", "av", "", "",
         R"(  -oac faac -faacopts br=256:mpeg=4:object=2 -ovc frameno -of rawaudio -o "D:/out/clip.avi-m4a.m4a")"},
        {"music_flac", 12, 0, 20, "", "av", "", "",
         R"( -channels 8 -oac lavc -lavcopts acodec=flac -ovc frameno -of rawaudio -o "D:/out/clip.avi-flac.flac")"},
        {"music_opus", 12, 0, 21, "", "av", "", "",
         R"(  -srate 48000 -oac lavc -lavcopts acodec=libopus:abitrate=160 -ovc frameno -of rawaudio -o "D:/out/clip.avi-opus.opus")"},
};

const Case kVariations[] = {
    // Sources without audio or without video.
    {"phone_3gp_no_audio", 0, 0, 0, "", "video", "", "",
     R"(  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -nosound -of rawvideo -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")"},
    {"psp_mp4_no_audio", 2, 0, 2, "", "video", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -nosound -of rawvideo -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    {"wmv_no_audio", 6, 0, 12, "", "video", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -nosound -of rawvideo -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"flv_no_video", 3, 0, 9, "", "audio", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-flv.flv")"},
    {"mp3_audio_only_source", 7, 0, 8, "", "audio", "", "", MP3_DEFAULT},
    {"dvd_audio_only_source", 4, 0, 10, "", "audio", "", "",
     R"( -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc frameno -of rawaudio:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"( -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc frameno -of rawaudio:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    // Audio-only formats never carry a video codec.
    {"mp3_ignores_video_codec", 7, 0, 8, "videoCodec=2 videoBitrateIndex=5", "av", "", "", MP3_DEFAULT},
    {"wma_ignores_video_codec", 6, 0, 13, "videoCodec=0 qualityIndex=5", "av", "", "", WMA_DEFAULT},
    // Video filters.
    {"flv_picture_example", 3, 0, 9, "pictureAdjust=1 gamma=12 contrast=-5 brightness=3 saturation=10", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240,eq2=1.2:-0.5:0.3:1 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"flv_picture_extremes", 3, 0, 9, "pictureAdjust=1 gamma=100 contrast=20 brightness=-5 saturation=0", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240,eq2=10:2:-0.5:0 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"flv_deinterlace", 3, 0, 9, "deinterlace=1", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add yadif,scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"flv_no_filter_at_all", 3, 0, 9, "frameSizeIndex=0", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add  -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"phone_mp4_all_filters_no_size", 0, 0, 5,
     "pictureAdjust=1 gamma=7 contrast=-15 brightness=-10 saturation=25 deinterlace=1 inverseTelecine=1 "
     "frameSizeIndex=0",
     "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add yadif,filmdint,eq2=0.7:-1.5:-1:2.5,harddup -ofps 15 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    {"phone_mp4_telecine_neutral_picture", 0, 0, 5, "inverseTelecine=1 pictureAdjust=1 contrast=0 frameRateIndex=7",
     "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add filmdint,scale=320:240,eq2=1:0:0:1,harddup -ofps 24000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    {"phone_mp4_only_extra_filter", 0, 0, 5, "frameSizeIndex=0 frameRateIndex=0", "av", "",
     "", R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add harddup -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    // Video codec, bitrate, size, rate, quality and aspect rows.
    {"flv_mpeg1_last_rows", 3, 0, 9, "videoCodec=4 videoBitrateIndex=19 frameSizeIndex=9", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=352:288 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152 -o "D:/out/clip.avi-flv.flv")"},
    {"phone_mp4_x264_sar", 0, 0, 5, "frameRateIndex=12 aspectIndex=3 qualityIndex=4", "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=320:240,harddup -ofps 10 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:mbd=2:mv0:sar=4/3:level_idc=12:nocabac:bframes=0:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    {"ipod_divx_aspect", 1, 0, 7, "aspectIndex=7 qualityIndex=1", "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=640:480,harddup -ofps 30000/1001 -oac faac -faacopts br=128:mpeg=4:object=2:raw -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vbitrate=500:mbd=0:aspect=2.39/1:aglobal=1:vglobal=1 -o "D:/out/clip.avi-mp4.mp4")"},
    {"psp_xvid_aspect", 2, 0, 3, "aspectIndex=4 qualityIndex=3 frameSizeIndex=18 frameRateIndex=2", "av", "", "",
     R"( -sws 9 -af volnorm -srate 48000 -vf-add scale=720:576,harddup -ofps 14.985 -oac faac -faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:mbd=1:mv0:aspect=1.66/1:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")"},
    {"flv_copy_ignores_options", 3, 0, 9, "videoCodec=8 aspectIndex=5 qualityIndex=5 twoPass=1 turbo=1", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc copy -o "D:/out/clip.avi-flv.flv")"},
    {"wmv_wmv1_two_pass_has_no_vpass", 6, 0, 12, "videoCodec=6 twoPass=1", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv1:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"phone_mp4_two_pass_main_only", 0, 0, 5, "twoPass=1", "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=320:240,harddup -ofps 15 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all:vpass=2 -o "D:/out/clip.avi-mp4.mp4")"},
    {"wmv_mpeg2_square_aspect", 6, 0, 12, "videoCodec=5 videoBitrateIndex=0 aspectIndex=1", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=100:aspect=1/1 -o "D:/out/clip.avi-wmv.wmv")"},
    // Audio codec, sample rate, channel and stream rows.
    {"wmv_ac3_22050", 6, 0, 12, "audioCodec=3 sampleRateIndex=0", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 22050 -vf-add scale=320:240 -oac lavc -lavcopts acodec=ac3:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_mp2_32", 6, 0, 12, "audioCodec=4 audioBitrateIndex=0 sampleRateIndex=2", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 32000 -vf-add scale=320:240 -oac lavc -lavcopts acodec=mp2:abitrate=32 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_wmav1_320", 6, 0, 12, "audioCodec=5 audioBitrateIndex=11 sampleRateIndex=1", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 24000 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav1:abitrate=320 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_audio_copy", 6, 0, 12, "audioCodec=7", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac copy -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_aac_mpeg2", 6, 0,
     12, "audioCodec=1", "av", "", "", R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac faac -faacopts br=96:mpeg=2:object=2 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_no_audio_codec_row", 6, 0, 12, "audioCodec=8", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -nosound -of rawvideo -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_stereo", 6, 0, 12, "channelMode=1", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af channels=2:2:0:0:0:1,volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_left", 6, 0, 12, "channelMode=2", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af channels=1:1:0:0,volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_right_no_volnorm", 6, 0, 12, "channelMode=3 volumeNormalize=0", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af channels=1:1:1:0 -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_mix", 6, 0, 12, "channelMode=4", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af pan=1:0.5:0.5,volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_without_volnorm", 6, 0, 12, "volumeNormalize=0", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")"},
    {"wmv_has_no_stream_option", 6, 0, 12, "audioStreamId=3", "av", "", "", WMV_DEFAULT},
    {"wma_stream", 6, 0, 13, "audioStreamId=3", "av", "", "",
     R"( -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -aid 3 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o "D:/out/clip.avi-wma.wma")"},
    {"phone_xvid_stream", 0, 0, 6, "audioStreamId=9", "av", "", "",
     R"( -sws 9 -af volnorm -srate 44100 -aid 9 -vf-add scale=320:240,harddup -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=128:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")"},
    {"dvd_left_drops_resample", 4, 0, 10, "channelMode=2", "av", "", "", DVD_FIRST,
     R"( -of mpeg -mpegopts format=dvd -af channels=1:1:0:0,volnorm -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    {"dvd_aac_object_one", 4, 0, 10, "audioCodec=2", "av", "", "", DVD_FIRST,
     R"( -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac faac -faacopts br=128:mpeg=4:object=1 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    // MP3 and AAC options.
    {"mp3_vbr_volume_algorithm", 7, 0, 8, "mp3Method=3 mp3VbrQuality=4 mp3Volume=3 mp3AlgorithmQuality=1", "av", "", "",
     R"(  -srate 48000 -oac mp3lame -lameopts vbr=2:q=4:mode=1:vol=2:aq=0 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"mp3_cbr_mono_ignores_quality", 7, 0, 8, "mp3Method=1 audioBitrateIndex=11 mp3Mode=3 mp3VbrQuality=9", "av", "",
     "",
     R"(  -srate 48000 -oac mp3lame -lameopts cbr:br=320:mode=4 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"mp3_vbr4_ignores_bitrate", 7, 0, 8,
     "mp3Method=5 audioBitrateIndex=0 mp3Volume=11 mp3AlgorithmQuality=10 mp3Mode=2", "av", "", "",
     R"(  -srate 48000 -oac mp3lame -lameopts vbr=4:q=0:mode=3:vol=10:aq=9 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"mp3_volnorm_rate_stream", 7, 0, 8, "mp3Method=2 volumeNormalize=1 sampleRateIndex=3 audioStreamId=2", "av", "",
     "",
     R"(  -af volnorm -srate 44100 -aid 2 -oac mp3lame -lameopts vbr=1:q=0:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"mp3_mix_joint", 7, 0, 8, "channelMode=4 mp3Mode=1", "av", "", "",
     R"(  -af pan=1:0.5:0.5 -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=2 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"mp3_as_aac", 7, 0, 8, "audioCodec=1", "av", "", "",
     R"(  -srate 48000 -oac faac -faacopts br=128:mpeg=2:object=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"flv_vbr_keeps_quality_five", 3, 0, 9, "mp3Method=2", "av", "", "",
     R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts vbr=1:q=5:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"psp_aac_object_and_mpeg2", 2, 0, 2,
     "aacObjectType=0 audioCodec=1 audioBitrateIndex=3", "av", "", "", R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=80:mpeg=2:object=1:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    {"psp_aac_object_four", 2, 0, 2, "aacObjectType=3", "av", "", "",
     R"( -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=4:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")"},
    // Passes.
    {"dvd_single_pass", 4, 0, 10, "twoPass=0", "av", "", "", "",
     R"( -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600 -o "D:/out/clip.avi-mpg.mpg")"},
    {"dvd_without_turbo", 4, 0, 10, "turbo=0", "av", "", "",
     R"( -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     DVD_SECOND},
    {"dvd_film_forces_film_rate", 4, 1, 10, "frameRateIndex=3", "av", "", "", FILM_FIRST, FILM_SECOND},
    {"svcd_with_quality_and_aspect", 5, 0, 10, "qualityIndex=2 aspectIndex=2", "av", "", "",
     R"( -of mpeg -mpegopts format=xsvcd -vf-add scale=480:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:mbd=1:aspect=40/33:turbo:trell:mbd=2:keyint=18:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"( -of mpeg -mpegopts format=xsvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=480:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=mp2:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:mbd=1:aspect=40/33:trell:mbd=2:keyint=18:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    // PMP: only a 500 kbit/s row turns into constant quality.
    {"pmp_other_bitrate", 2, 0, 1, "videoBitrateIndex=8", "av", "", "",
     R"( -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts bitrate=512:level_idc=13:pictiming:nopsnr:nossim -o "D:/out/clip.avi-pmp.avi")"},
    {"pmp_divx", 2, 0, 1, "videoCodec=0", "av", "", "",
     R"( -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vcrf=22:level_idc=13:pictiming:nopsnr:nossim -o "D:/out/clip.avi-pmp.avi")"},
    // Start and stop times follow the container options.
    {"flv_times", 3, 0, 9, "", "av", "00:01:00", "00:02:30",
     R"( -of lavf -lavfopts format=flv -ss 00:01:00 -endpos 00:01:30 -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")"},
    {"mp3_start_only", 7, 0, 8, "", "av", "00:00:05", "",
     R"(  -ss 00:00:05 -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")"},
    {"phone_3gp_stop_only", 0,
     0, 0, "", "av", "", "01:02:03", R"(  -endpos 01:02:03 -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")"},
    {"dvd_times_in_both_passes", 4, 0, 10, "", "av", "00:00:10", "00:00:20",
     R"( -of mpeg -mpegopts format=dvd -ss 00:00:10 -endpos 00:00:10 -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"( -of mpeg -mpegopts format=dvd -ss 00:00:10 -endpos 00:00:10 -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")"},
    // Selecting a model after another one.
    {"phone_3gp_after_dvd", 0, 0, 0, "", "av", "", "",
     R"(  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")",
     "", 4, 0, 10},
    {"ipod_x264_after_divx", 1, 0, 5, "", "av", "", "", IPOD_MP4_X264, "", 1, 0, 7},
    {"mp3_after_svcd", 7, 0, 8, "", "av", "", "", MP3_DEFAULT, "", 5, 0, 11},
    // A format the model does not list keeps the values and drops the strings.
    {"phone_unlisted_flv_after_flash", 0, 0, 9, "", "av", "", "",
     R"(  -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")",
     "", 3, 0, 9},
    // A third DVD or VCD row gets only what the two models share.
    {"dvd_third_model_after_dvd_film", 4, 2, 10, "", "av", "", "",
     R"(  -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"(  -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 24000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:vpass=2 -o "D:/out/clip.avi-mpg.mpg")",
     4, 1, 10},
    {"vcd_third_model_after_xvcd", 5, 2, 10, "", "av", "", "",
     R"(  -vf-add scale=352:240,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:turbo:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     R"(  -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=352:240,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=mp2:abitrate=224 -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152:vpass=2 -o "D:/out/clip.avi-mpg.mpg")",
     5, 1, 10},
    // A rate row still works where a model asks for constant quality.
    {"hd_1080p_bitrate_row", 8, 1, 14, "videoBitrateIndex=24 sampleRateIndex=3", "av", "", "",
     R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 44100 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts bitrate=6000:profile=high:preset=fast:level_idc=41:vrc_maxrate=20000:vrc_buf_size=25000 -o "D:/out/clip.avi-mp4.mp4")"},
    {"hevc_1080p_video_only", 9, 1, 15, "", "video", "", "",
     R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -nosound -of rawvideo -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:vrc_maxrate=12000:vrc_buf_size=15000 -o "D:/out/clip.avi-mp4.mp4")"},
    // Nothing of the disc model stays behind.
    {"hd_1080p_after_dvd", 8, 1, 14, "", "av", "", "",
     R"( -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=41:vrc_maxrate=20000:vrc_buf_size=25000 -o "D:/out/clip.avi-mp4.mp4")",
     "", 4, 1, 10},
};

#undef MP3_DEFAULT
#undef FLV_DEFAULT
#undef WMV_DEFAULT
#undef WMA_DEFAULT
#undef IPOD_MP4_X264
#undef IPOD_MP4_XVID
#undef IPOD_MP4_DIVX
#undef DVD_FIRST
#undef DVD_SECOND
#undef FILM_FIRST
#undef FILM_SECOND

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::string withPrefix(const char* tail) { return *tail ? std::string(kPrefix) + tail : std::string(); }

class CommandLines : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLines, MatchTheHandWrittenLines)
{
    const Case& c = GetParam();
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    if (c.previousCategory >= 0)
        b.selectModel(c.previousCategory, c.previousModel, c.previousFormat);
    b.selectModel(c.category, c.model, c.format);
    std::istringstream sets(c.sets);
    for (std::string set; sets >> set;) {
        const size_t eq = set.find('=');
        ASSERT_NE(eq, std::string::npos) << set;
        int32_t* member = b.parameterByName(set.substr(0, eq).c_str());
        ASSERT_NE(member, nullptr) << set;
        *member = std::stoi(set.substr(eq + 1));
    }
    b.startTime = c.start;
    b.endPosition = c.stop;
    b.media.hasVideo = std::string(c.media) != "audio";
    b.media.hasAudio = std::string(c.media) != "video";
    b.sourcePath = "D:/in/clip.avi";
    b.makeOutputPath("D:/out");
    b.buildCommands();
    EXPECT_EQ(std::string(b.firstCommand().c_str()), withPrefix(c.first));
    EXPECT_EQ(std::string(b.secondCommand().c_str()), withPrefix(c.second));
}

auto caseName = [](const auto& info) { return std::string(info.param.name); };

INSTANTIATE_TEST_SUITE_P(Defaults, CommandLines, ::testing::ValuesIn(kDefaults), caseName);
INSTANTIATE_TEST_SUITE_P(Changes, CommandLines, ::testing::ValuesIn(kVariations), caseName);

TEST(CommandLines, BackslashSourceAndFormatChange)
{
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    b.selectModel(3, 0, 9);
    b.sourcePath = "D:\\in\\clip.avi";
    b.makeOutputPath("D:/out");
    EXPECT_STREQ(b.sourcePath.c_str(), "D:/in/clip.avi");
    EXPECT_STREQ(b.outputPath.c_str(), "D:/out/clip.avi-flv.flv");
    EXPECT_STREQ(b.outputPathForFormat(12).c_str(), "D:/out/clip.avi-wmv.wmv");
    EXPECT_STREQ(b.outputPathForFormat(0).c_str(), "D:/out/clip.avi-3gp.3gp");
    EXPECT_STREQ(b.outputPathForFormat(1).c_str(), "D:/out/clip.avi-pmp.pmp");
    EXPECT_STREQ(b.outputPathForFormat(kFormatCount).c_str(), "D:/out/clip.avi");
    EXPECT_STREQ(b.outputPathForFormat(-1).c_str(), "D:/out/clip.avi-flv.flv");
    b.buildCommands();
    EXPECT_EQ(
        std::string(b.firstCommand().c_str()),
        std::string(kPrefix)
            + R"( -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")");
    EXPECT_STREQ(b.intermediateBase().c_str(), "");
}

TEST(CommandLines, IntermediateBaseOfMuxedAndDirectFormats)
{
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    for (int32_t format : {0, 1, 2, 3}) {
        CommandLineBuilder b;
        b.selectModel(format == 0 ? 0 : 2, 0, format);
        b.sourcePath = "D:/in/clip.avi";
        b.makeOutputPath("D:/out");
        b.buildCommands();
        const char* base = format == 0 ? "D:/out/clip.avi-3gp"
            : format == 1              ? "D:/out/clip.avi-pmp"
                                       : "D:/out/clip.avi-mp4";
        EXPECT_STREQ(b.intermediateBase().c_str(), base) << format;
    }
}

// A second build of the same task runs without the fast first pass.
TEST(CommandLines, SecondBuildHasNoTurbo)
{
    CommandLineBuilder::setEncoderPath("\"C:/Tools/Conv/ALDER.DAT\"");
    CommandLineBuilder b;
    b.selectModel(4, 0, 10);
    b.sourcePath = "D:/in/clip.avi";
    b.makeOutputPath("D:/out");
    b.buildCommands();
    b.buildCommands();
    EXPECT_EQ(
        std::string(b.firstCommand().c_str()),
        std::string(kPrefix)
            + R"( -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")");
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

// The same lines through "quillfer-cli commands", as the user asks for them:
// the options become -c/-m/-f, --set, --start/--stop and --media.
TEST(CommandLines, TheCliPrintsTheSameLinesAndModelLists)
{
    namespace stdfs = std::filesystem;
    const std::string cli = std::string(QF_PROGRAM_DIR) + "/quillfer-cli";
    ASSERT_TRUE(stdfs::is_regular_file(cli)) << "build quillfer-cli first: " << cli;
    char pattern[] = "/tmp/qf-review-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    // A program directory of its own: no user presets shift the model rows.
    const std::string prog = dir + "/prog";
    stdfs::create_directories(prog);
    stdfs::create_directories(dir + "/in");
    stdfs::create_directories(dir + "/home");
    stdfs::copy_file(cli, prog + "/quillfer-cli");
    stdfs::permissions(prog + "/quillfer-cli", stdfs::perms::owner_all);
    // Start-up loads the media-information library from the program directory.
    stdfs::create_symlink(stdfs::canonical(std::string(QF_PROGRAM_DIR) + "/OLIVE.dll"), prog + "/OLIVE.dll");
    std::ofstream(dir + "/in/clip.avi") << "not media";
    const std::string prefix = "\"" + prog + "/ALDER.DAT\" \"" + dir + "/in/clip.avi\"";
    auto expected = [&](const char* tail) {
        return *tail ? prefix + replaceAll(tail, "\"D:/out/", "\"" + dir + "/out/") : std::string();
    };

    for (std::span<const Case> table : {std::span<const Case>(kDefaults), std::span<const Case>(kVariations)}) {
        for (const Case& c : table) {
            if (c.previousCategory >= 0)
                continue;
            std::string cmd = "HOME='" + dir + "/home' '" + prog + "/quillfer-cli' commands -c "
                + std::to_string(c.category) + " -m " + std::to_string(c.model) + " -f " + std::to_string(c.format)
                + " --media " + c.media + " --output-folder '" + dir + "/out'";
            std::istringstream sets(c.sets);
            for (std::string set; sets >> set;)
                cmd += " --set " + set;
            if (*c.start)
                cmd += std::string(" --start ") + c.start;
            if (*c.stop)
                cmd += std::string(" --stop ") + c.stop;
            cmd += " '" + dir + "/in/clip.avi' >'" + dir + "/stdout' 2>&1";
            const int raw = std::system(cmd.c_str());
            std::ifstream in(dir + "/stdout", std::ios::binary);
            const std::string out((std::istreambuf_iterator<char>(in)), {});
            ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << c.name << ": " << out;
            EXPECT_EQ(out, expected(c.first) + "\n" + expected(c.second) + "\n") << c.name;
        }
    }
    // Categories, built-in models and formats, in the panel's order and with
    // the panel's labels (format 9 reads "flv" there).
    const int raw = std::system(
        ("HOME='" + dir + "/home' '" + prog + "/quillfer-cli' formats >'" + dir + "/stdout' 2>&1").c_str());
    std::ifstream in(dir + "/stdout", std::ios::binary);
    const std::string out((std::istreambuf_iterator<char>(in)), {});
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << out;
    const std::string handheld = "    5 mp4-X264,AAC\n    6 mp4-XVID,AAC\n    7 mp4-DIVX,AAC\n    8 mp3\n";
    const std::string disc = "    10 mpg-NTSC\n    11 mpg-PAL\n";
    EXPECT_EQ(out,
              "0 手机\n  0 默认参数\n    0 3gp\n    5 mp4-X264,AAC\n    6 mp4-XVID,AAC\n    8 mp3\n"
              "1 IPOD\n  0 Touch\n"
                  + handheld + "  1 Classic\n" + handheld + "  2 Nano\n" + handheld
                  + "  3 Shuffle\n    8 mp3\n"
                    "2 PSP\n  0 默认参数\n    1 pmp-X264,AAC\n    2 mp4-X264,AAC\n    3 mp4-XVID,AAC\n"
                    "    4 mp4-DIVX,AAC\n    8 mp3\n"
                    "3 Flash Player\n  0 默认参数\n    9 flv\n"
                    "4 DVD\n  0 DVD\n"
                  + disc + "  1 DVD-Film\n" + disc + "5 VCD\n  0 SVCD\n" + disc + "  1 XVCD\n" + disc
                  + "6 Windows Media\n  0 默认参数\n    12 wmv-WMVideo\n    13 wma-WMAudio\n"
                    "7 MP3\n  0 默认参数\n    8 mp3\n"
                    "8 通用高清\n  0 2160p\n    14 mp4-H264,AAC\n  1 1080p\n    14 mp4-H264,AAC\n"
                    "  2 720p\n    14 mp4-H264,AAC\n  3 480p\n    14 mp4-H264,AAC\n  4 原始大小\n    14 mp4-H264,AAC\n"
                    "9 HEVC\n  0 2160p\n    15 mp4-H265,AAC\n  1 1080p\n    15 mp4-H265,AAC\n"
                    "  2 720p\n    15 mp4-H265,AAC\n  3 原始大小\n    15 mp4-H265,AAC\n"
                    "  4 原始大小 10-bit\n    15 mp4-H265,AAC\n"
                    "10 AV1\n  0 1080p\n    17 mkv-AV1,Opus\n    16 mp4-AV1,AAC\n"
                    "  1 720p\n    17 mkv-AV1,Opus\n    16 mp4-AV1,AAC\n"
                    "  2 原始大小\n    17 mkv-AV1,Opus\n    16 mp4-AV1,AAC\n"
                    "11 网页 WebM\n  0 1080p\n    18 webm-VP9,Opus\n  1 720p\n    18 webm-VP9,Opus\n"
                    "  2 480p\n    18 webm-VP9,Opus\n"
                    "12 音乐/无损\n  0 默认参数\n    19 m4a-AAC\n    20 flac\n    21 opus\n");
    stdfs::remove_all(dir);
}

} // namespace
} // namespace qf::convert
