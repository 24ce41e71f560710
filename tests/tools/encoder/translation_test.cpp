// The translation of the system's encoder command lines into ffmpeg runs.
#include <gtest/gtest.h>

#include "encoder_test_support.h"
#include "translation.h"

namespace qf::encoder {
namespace {

using test::joinTail;
using test::splitLine;

Translation translateLine(const std::string& line, const SourceFacts* facts = nullptr)
{
    return translate(splitLine(line), facts);
}

constexpr const char* kDiscAspectFilter = "setdar='if(gte(dar,sqrt(64/27)),16/9,4/3)'";

TEST(EncoderTranslation, HeadAsksForProgressAndLevelledLog)
{
    Translation t = translateLine("in.avi -ovc copy -nosound -o out.avi");
    ASSERT_EQ(t.failure, FailureKind::None) << t.error;
    std::vector<std::string> head(t.ffmpegArgs.begin(), t.ffmpegArgs.begin() + test::kHeadArgs);
    EXPECT_EQ(head,
              (std::vector<std::string>{"-hide_banner", "-nostdin", "-y", "-nostats", "-loglevel", "level+info",
                                        "-progress", "pipe:1", "-stats_period", "0.1"}));
}

struct WorkedExample {
    const char* name;
    const char* line; // the arguments after the program
    const char* ffmpeg;
    int pass;
    PassLog log;
};

// The system's own command lines (default settings of each model), checked
// against the ffmpeg equivalents that were verified on this platform.
const WorkedExample kWorkedExamples[] = {
    {"ThreeGp",
     R"("D:/in/clip.avi"  -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o "D:/out/clip.avi-3gp.avi")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(176,2*round(114*dar/2)))':h='max(2,min(114,2*round(176/dar/"
     "2)))':flags=bicubic,fps=10,pad=176:114:(ow-iw)/2:(oh-ih)/2,"
     "setsar=1,format=yuv420p -fps_mode cfr "
     "-c:v libxvid -b:v 100k -bf 0 -g 100 -trellis 1 -me_quality 6 -mbd rd -vtag XVID -flags:v +cgop "
     "-af aformat=channel_layouts=mono|stereo -ar 22050 -c:a aac -b:a 32k -profile:a aac_low "
     "-f avi file:D:/out/clip.avi-3gp.avi.part",
     0, PassLog::None},
    {"Pmp",
     R"("D:/in/clip.avi" -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:level_idc=13:pictiming:nopsnr:nossim -o "D:/out/clip.avi-pmp.avi")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(480,2*round(272*dar/2)))':h='max(2,min(272,2*round(480/dar/"
     "2)))':flags=lanczos,pad=480:272:(ow-iw)/2:(oh-ih)/2,"
     "setsar=1,format=yuv420p -sws_flags lanczos -fps_mode cfr "
     "-c:v libx264 -crf 22 -profile:v main -x264-params 8x8dct=0:pic-struct=1:psnr=0:ssim=0 -vtag H264 "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 -ar 44100 -c:a aac -b:a 96k "
     "-profile:a aac_low -f avi file:D:/out/clip.avi-pmp.avi.part",
     0, PassLog::None},
    {"Mp4Direct",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o "D:/out/clip.avi-mp4.mp4")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(368,2*round(208*dar/2)))':h='max(2,min(208,2*round(368/dar/2)))':flags=lanczos,fps=30000/1001,"
     "pad=368:208:(ow-iw)/2:(oh-ih)/2,setsar=1,format=yuv420p -sws_flags lanczos "
     "-fps_mode cfr -c:v libx264 -b:v 500k -level 30 -bf 3 -profile:v main -refs 2 -x264-params "
     "8x8dct=0:partitions=all "
     "-flags:v +global_header -af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 "
     "-ar 48000 -c:a aac -b:a 96k -profile:a aac_low -f mp4 file:D:/out/clip.avi-mp4.mp4.part",
     0, PassLog::None},
    {"Mp4ViaXvid",
     R"("D:/in/clip.avi" -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o "D:/out/clip.avi-mp4.avi")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(368,2*round(208*dar/2)))':h='max(2,min(208,2*round(368/dar/2)))':flags=lanczos,fps=30000/1001,"
     "pad=368:208:(ow-iw)/2:(oh-ih)/2,setsar=1,format=yuv420p -sws_flags lanczos "
     "-fps_mode cfr -c:v libxvid -b:v 500k -bf 0 -g 300 -trellis 1 -me_quality 6 -mbd rd -vtag XVID -flags:v +cgop "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 -ar 48000 -c:a aac -b:a 64k "
     "-profile:a aac_low -f avi file:D:/out/clip.avi-mp4.avi.part",
     0, PassLog::None},
    {"Mp3",
     R"("D:/in/clip.avi"  -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "D:/out/clip.avi-mp3.mp3")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:a:0 -vn -af aformat=channel_layouts=mono|stereo -ar 48000 "
     "-c:a libmp3lame -b:a 128k -abr 1 -joint_stereo 1 -compression_level 5 -sample_fmt s16p "
     "-f mp3 -id3v2_version 0 file:D:/out/clip.avi-mp3.mp3.part",
     0, PassLog::None},
    {"Flv",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o "D:/out/clip.avi-flv.flv")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(320,2*round(240*dar/2)))':h='max(2,min(240,2*round(320/dar/"
     "2)))':flags=bicubic,pad=320:240:(ow-iw)/2:(oh-ih)/2,"
     "setsar=1,format=yuv420p -c:v flv -b:v 500k -g 250 "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 -ar 44100 -c:a libmp3lame -b:a 96k "
     "-joint_stereo 1 -compression_level 5 -sample_fmt s16p -f flv file:D:/out/clip.avi-flv.flv.part",
     0, PassLog::None},
    {"DvdFirstPass",
     R"("D:/in/clip.avi" -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o "D:/out/clip.avi-mpg.mpg")",
     "-i file:D:/in/clip.avi -map 0:v:0 "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,scale=720:480:flags=bicubic,fps=30000/1001,format=yuv420p "
     "-fps_mode cfr -c:v mpeg2video -b:v 2000k -g 18 -precmp sad -cmp sad -subcmp sad -mbcmp satd -pre_dia_size 0 "
     "-dia_size 1 "
     "-mbd simple -trellis 0 -noise_reduction 0 -mpv_flags -mv0-qp_rd-cbp_rd -bufsize 1835k -maxrate 9600k "
     "-aspect 16/9 -pass 1 -passlogfile divx2pass -an -f dvd -packetsize 2048 -muxrate 10080000 /dev/null",
     1, PassLog::FfmpegPrefix},
    {"DvdSecondPass",
     R"("D:/in/clip.avi" -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o "D:/out/clip.avi-mpg.mpg")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,scale=720:480:flags=bicubic,fps=30000/1001,format=yuv420p "
     "-fps_mode cfr -c:v mpeg2video -b:v 2000k -g 18 -mbd rd -trellis 1 -bufsize 1835k -maxrate 9600k -aspect 16/9 "
     "-pass 2 -passlogfile divx2pass "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5,aresample=48000,aresample=async=1 "
     "-ar 48000 -c:a ac3 -b:a 128k -f dvd -packetsize 2048 -muxrate 10080000 file:D:/out/clip.avi-mpg.mpg.part",
     2, PassLog::FfmpegPrefix},
    {"Wmv",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o "D:/out/clip.avi-wmv.wmv")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? "
     "-vf setsar='if(gt(sar,0),sar,1)':max=65535,"
     "scale=w='max(2,min(320,2*round(240*dar/2)))':h='max(2,min(240,2*round(320/dar/"
     "2)))':flags=bicubic,pad=320:240:(ow-iw)/2:(oh-ih)/2,"
     "setsar=1,format=yuv420p -c:v wmv2 -b:v 500k -g 250 "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 -ar 44100 -c:a wmav2 -b:a 96k "
     "-f asf file:D:/out/clip.avi-wmv.wmv.part",
     0, PassLog::None},
    {"Wma",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o "D:/out/clip.avi-wma.wma")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:a:0 -vn "
     "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5 -ar 44100 -c:a wmav2 -b:a 96k "
     "-f asf file:D:/out/clip.avi-wma.wma.part",
     0, PassLog::None},
    // Today's players (the models' defaults; the source's facts add the frame-rate cap).
    {"HdMp4H264High",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:profile=high:preset=fast:level_idc=41:vrc_maxrate=20000:vrc_buf_size=25000 -o "D:/out/clip.avi-mp4.mp4")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? -vf "
     "yadif=deint=interlaced,setsar='if(gt(sar,0),sar,1)':max=65535,scale=w='max(2,2*round(iw*sar*min(1,min(1920/"
     "(iw*sar),1080/ih))/2))':h='max(2,2*round(ih*min(1,min(1920/(iw*sar),1080/ih))/"
     "2))':flags=lanczos,setsar=1,format=yuv420p "
     "-sws_flags lanczos -c:v libx264 -crf 22 -preset fast -level 41 -profile:v high -bufsize 25000k "
     "-maxrate 20000k -af aformat=channel_layouts=mono|stereo -ar 48000 -c:a aac -b:a 160k -profile:a "
     "aac_low -f mp4 -movflags +faststart file:D:/out/clip.avi-mp4.mp4.part",
     0, PassLog::None},
    {"HevcMp4Hvc1",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=mp4:faststart -sws 9 -srate 48000 -vf-add dsize=1920:1080:0:2,scale=0:0,autodeint,fpscap=60 -oac faac -faacopts br=160:mpeg=4:object=2 -ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:o=preset=fast:vrc_maxrate=12000:vrc_buf_size=15000 -o "D:/out/clip.avi-mp4.mp4")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? -vf "
     "yadif=deint=interlaced,setsar='if(gt(sar,0),sar,1)':max=65535,scale=w='max(2,2*round(iw*sar*min(1,min(1920/"
     "(iw*sar),1080/ih))/2))':h='max(2,2*round(ih*min(1,min(1920/(iw*sar),1080/ih))/"
     "2))':flags=lanczos,setsar=1,format=yuv420p "
     "-sws_flags lanczos -c:v libx265 -crf 28 -g 250 -bufsize 15000k -maxrate 12000k -preset fast -tag:v "
     "hvc1 -af aformat=channel_layouts=mono|stereo -ar 48000 -c:a aac -b:a 160k -profile:a aac_low -f mp4 "
     "-movflags +faststart file:D:/out/clip.avi-mp4.mp4.part",
     0, PassLog::None},
    {"Av1MkvOpus",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=matroska -sws 9 -srate 48000 -vf-add dsize=1280:720:0:2,scale=0:0,autodeint,fpscap=60 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libsvtav1:vcrf=35:o=preset=8 -o "D:/out/clip.avi-mkv.mkv")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? -vf "
     "yadif=deint=interlaced,setsar='if(gt(sar,0),sar,1)':max=65535,scale=w='max(2,2*round(iw*sar*min(1,min(1280/"
     "(iw*sar),720/ih))/2))':h='max(2,2*round(ih*min(1,min(1280/(iw*sar),720/ih))/"
     "2))':flags=lanczos,setsar=1,format=yuv420p "
     "-sws_flags lanczos -c:v libsvtav1 -crf 35 -g 250 -preset 8 -af aformat=channel_layouts=mono|stereo "
     "-ar 48000 -c:a libopus -b:a 128k -f matroska file:D:/out/clip.avi-mkv.mkv.part",
     0, PassLog::None},
    {"WebmVp9Opus",
     R"("D:/in/clip.avi" -of lavf -lavfopts format=webm -sws 9 -srate 48000 -vf-add dsize=854:480:0:2,scale=0:0,autodeint,fpscap=30 -oac lavc -lavcopts acodec=libopus:abitrate=128 -ovc lavc -lavcopts vcodec=libvpx-vp9:vcrf=32:o=deadline=good,cpu-used=4,row-mt=1 -o "D:/out/clip.avi-webm.webm")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:v:0 -map 0:a:0? -vf "
     "yadif=deint=interlaced,setsar='if(gt(sar,0),sar,1)':max=65535,scale=w='max(2,2*round(iw*sar*min(1,min(854/"
     "(iw*sar),480/ih))/2))':h='max(2,2*round(ih*min(1,min(854/(iw*sar),480/ih))/"
     "2))':flags=lanczos,setsar=1,format=yuv420p "
     "-sws_flags lanczos -c:v libvpx-vp9 -crf 32 -b:v 0 -g 250 -deadline good -cpu-used 4 -row-mt 1 -af "
     "aformat=channel_layouts=mono|stereo -ar 48000 -c:a libopus -b:a 128k -f webm "
     "file:D:/out/clip.avi-webm.webm.part",
     0, PassLog::None},
    {"M4a",
     R"("D:/in/clip.avi"  -oac faac -faacopts br=256:mpeg=4:object=2 -ovc frameno -of rawaudio -o "D:/out/clip.avi-m4a.m4a")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:a:0 -vn -af aformat=channel_layouts=mono|stereo -c:a "
     "aac -b:a 256k -profile:a aac_low -f ipod -movflags +faststart file:D:/out/clip.avi-m4a.m4a.part",
     0, PassLog::None},
    {"FlacKeepsEightChannels",
     R"("D:/in/clip.avi" -channels 8 -oac lavc -lavcopts acodec=flac -ovc frameno -of rawaudio -o "D:/out/clip.avi-flac.flac")",
     "-i file:D:/in/clip.avi -map 0:a:0 -vn -af "
     "aformat=channel_layouts=mono|stereo|2.1|3.0|quad|4.0|5.0|4.1|5.1|6.0|6.1|7.0|7.1 -c:a flac -f flac "
     "file:D:/out/clip.avi-flac.flac.part",
     0, PassLog::None},
    {"OpusAt48000",
     R"("D:/in/clip.avi"  -srate 44100 -oac lavc -lavcopts acodec=libopus:abitrate=160 -ovc frameno -of rawaudio -o "D:/out/clip.avi-opus.opus")",
     "-downmix stereo -i file:D:/in/clip.avi -map 0:a:0 -vn -af aformat=channel_layouts=mono|stereo -ar "
     "48000 -c:a libopus -b:a 160k -f ogg file:D:/out/clip.avi-opus.opus.part",
     0, PassLog::None},
    {"ExtractVideo", R"(-ovc copy -nosound -of rawvideo -o "D:/out/B.m4v" "D:/out/B.avi")",
     "-i file:D:/out/B.avi -map 0:v:0 -c:v copy -bsf:v mpeg4_unpack_bframes -an -f m4v file:D:/out/B.m4v.part", 0,
     PassLog::None},
    {"ExtractAudio", R"(-ovc frameno -oac copy -of rawaudio -o "D:/out/B.aac" "D:/out/B.avi")",
     "-i file:D:/out/B.avi -map 0:a:0 -vn -c:a copy -f adts file:D:/out/B.aac.part", 0, PassLog::None},
};

class EncoderWorkedExample : public ::testing::TestWithParam<WorkedExample> {};

TEST_P(EncoderWorkedExample, TranslatesToVerifiedFfmpegRun)
{
    const WorkedExample& ex = GetParam();
    Translation t = translateLine(ex.line);
    ASSERT_EQ(t.failure, FailureKind::None) << t.error;
    EXPECT_EQ(joinTail(t), ex.ffmpeg);
    EXPECT_EQ(t.pass, ex.pass);
    EXPECT_EQ(t.passLog, ex.log);
    if (ex.pass == 1) {
        EXPECT_TRUE(t.tempPath.empty()) << "a first pass writes no output file";
    } else {
        EXPECT_EQ(t.tempPath, t.outputPath + ".part");
    }
}

INSTANTIATE_TEST_SUITE_P(SystemLines, EncoderWorkedExample, ::testing::ValuesIn(kWorkedExamples),
                         [](const auto& info) { return std::string(info.param.name); });

// Variations of the fragments: each line must translate and its ffmpeg run
// must contain every expected piece and none of the forbidden ones.
struct FragmentCase {
    const char* name;
    const char* line;
    std::vector<const char*> contains;
    std::vector<const char*> excludes;
};

const FragmentCase kFragmentCases[] = {
    {"DivxFirstPassWithTurboAndAspect",
     "in.avi -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vbitrate=500:mbd=2:mv0:trell:aspect=16/9:turbo:vpass=1 "
     "-nosound -o out.avi",
     {"-c:v mpeg4 -b:v 500k -g 250 -precmp sad", "-aspect 16/9", "-vtag DIVX", "-pass 1 -passlogfile divx2pass",
      "-f avi /dev/null"},
     {"setsar=1", "-mpv_flags +mv0", "-mbd rd"}},
    {"DivxQualityAndGlobalHeaders",
     "in.avi -of lavf -lavfopts format=mp4 -oac faac -faacopts br=64:mpeg=4:object=2:raw -ovc lavc -ffourcc DIVX "
     "-lavcopts vcodec=mpeg4:vbitrate=500:mbd=2:mv0:trell:aglobal=1:vglobal=1 -o out.mp4",
     {"-mbd rd -trellis 1 -mpv_flags +mv0", "-flags:v +global_header", "-flags:a +global_header", "setsar=1", "-f mp4"},
     {"-vtag"}},
    {"LavcBitrateAbove16000IsBits",
     "in.avi -ovc lavc -lavcopts vcodec=mpeg1video:vbitrate=1152000 -nosound -o o.avi",
     {"-c:v mpeg1video -b:v 1152000 "},
     {}},
    {"Mpeg1Xvcd",
     "in.avi -of mpeg -mpegopts format=xvcd -vf-add scale=352:240,harddup -ofps 30000/1001 -ovc lavc "
     "-lavcopts vcodec=mpeg1video:vbitrate=1152:trell:mbd=2:keyint=18:vrc_buf_size=327:vrc_minrate=1152 -nosound "
     "-o o.mpg",
     {"-bufsize 327k -minrate 1152k -maxrate 1152k",
      "fps=30000/1001,pad=352:240:(ow-iw)/2:(oh-ih)/2,setdar='if(gte(dar,sqrt(64/27)),16/9,4/3)',format=yuv420p ",
      "-f vcd -packetsize 2324 -muxrate 1411200"},
     {"setsar=1", "-aspect"}},
    {"Svcd",
     "in.avi -of mpeg -mpegopts format=xsvcd -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:vrc_minrate=600:"
     "vrc_maxrate=2500:vrc_buf_size=917 -nosound -o o.mpg",
     {"-bufsize 917k -minrate 600k -maxrate 2500k", "-vf setdar='if(gte(dar,sqrt(64/27)),16/9,4/3)',format=yuv420p ",
      "-f svcd -packetsize 2324 -muxrate 2788800"},
     {"setsar=1", "-aspect"}},
    {"DvdFilmTelecine",
     "in.avi -of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc "
     "-lavcopts vcodec=mpeg2video:vbitrate=2000:keyint=12 -nosound -o o.mpg",
     {"fps=24000/1001,pad=720:480:(ow-iw)/2:(oh-ih)/2,setdar=", "-f dvd"},
     {"telecine=", "+ilme", "-top 1"}},
    {"WindowsMedia1",
     "in.avi -ovc lavc -lavcopts vcodec=wmv1:vbitrate=300 -nosound -o o.avi",
     {"-c:v wmv1 -b:v 300k"},
     {}},
    {"X264AspectIsDisplayAspect",
     "in.avi -ovc x264 -ffourcc H264 -x264encopts bitrate=1000:sar=4/3 -nosound -o o.avi",
     {"-c:v libx264 -b:v 1000k", "-aspect 4/3", "-vtag H264"},
     {"setsar=1"}},
    {"X264NoCabacZeroBframes",
     "in.avi -ovc x264 -x264encopts bitrate=256:level_idc=12:nocabac:bframes=0:global_header:partitions=all "
     "-nosound -o o.avi",
     {"-level 12 -coder 0 -bf 0 -profile:v baseline", "-x264-params 8x8dct=0:partitions=all",
      "-flags:v +global_header"},
     {}},
    {"X264TwoPassStats",
     "in.avi -ovc x264 -x264encopts bitrate=300:pass=1 -nosound -o o.mp4 -of lavf",
     {"-x264-params 8x8dct=0:stats=divx2pass.log -pass 1", "-f mp4 /dev/null"},
     {"-passlogfile"}},
    {"XvidWithoutFrameRateKeepsDefaultGop",
     "in.avi -ovc xvid -xvidencopts bitrate=100 -nosound -o o.avi",
     {"-bf 2 -g 250"},
     {}},
    {"XvidTakesQualityAndDiscOptions",
     "in.avi -ovc xvid -xvidencopts bitrate=2000:mbd=1:mv0:trell:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 "
     "-nosound -o o.avi",
     {"-g 18", "-mbd bits", "-bufsize 1835k -maxrate 9600k", "-pass 2 -passlogfile divx2pass"},
     {}},
    {"XvidConstantQuality", "in.avi -ovc xvid -xvidencopts crf=22 -nosound -o o.avi", {"-q:v 4"}, {"-b:v"}},
    // DIVX for PMP: the PMP rule turned vbitrate=500 into vcrf=22.
    {"LavcConstantQuality",
     "in.avi -ovc lavc -ffourcc DIVX -lavcopts vcodec=mpeg4:vcrf=22:level_idc=13 -nosound -o o.avi",
     {"-c:v mpeg4 -q:v 4"},
     {"-b:v"}},
    {"LavcTakesX264Defaults",
     "in.avi -ovc lavc -lavcopts vcodec=mpeg4:vbitrate=300:level_idc=12:nocabac:bframes=0:max_bframes=0 -nosound "
     "-o o.avi",
     {"-c:v mpeg4 -b:v 300k", "-bf 0"},
     {"-level", "-coder"}},
    {"FlvRefusesBframesQuietly",
     "in.avi -ovc lavc -lavcopts vcodec=flv:max_bframes=2 -nosound -o o.flv -of lavf",
     {"-c:v flv"},
     {"-bf"}},
    {"CopiedVideoIgnoresFilters",
     "in.avi -vf-add scale=320:240,harddup -ofps 10 -sws 9 -ovc copy -nosound -o o.avi",
     {"-c:v copy"},
     {"-vf", "-fps_mode", "-sws_flags"}},
    {"CopiedAudioIgnoresFiltersAndRate",
     "in.avi -af volnorm -srate 44100 -channels 2 -ovc copy -oac copy -o o.avi",
     {"-c:a copy"},
     {"-af", "-ar", "-downmix"}},
    {"PictureAndDeinterlaceFilters",
     "in.avi -vf-add yadif,filmdint,scale=176:144,eq2=1.2:-0.5:0.3:1,harddup -ovc lavc -nosound -o o.avi",
     {"-vf yadif,fieldmatch,yadif=deint=interlaced,decimate,setsar='if(gt(sar,0),sar,1)':max=65535,"
      "scale=w='max(2,min(176,2*round(144*dar/2)))':h='max(2,min(144,2*round(176/dar/2)))':flags=bicubic,"
      "eq=gamma=1.2:contrast=-0.5:brightness=0.3:saturation=1,pad=176:144:(ow-iw)/2:(oh-ih)/2,setsar=1,"
      "format=yuv420p -fps_mode cfr"},
     {}},
    {"EmptyFilterOptionCarriesNoFilters",
     "in.avi -vf-add  -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o o.flv "
     "-of lavf",
     {"-map 0:v:0 -map 0:a:0? -vf setsar=1,format=yuv420p -c:v flv"},
     {"scale="}},
    {"LeftOnBothChannels",
     "in.avi -af channels=2:2:0:0:0:1 -oac mp3lame -ovc copy -o o.avi",
     {"-af aformat=channel_layouts=mono|stereo,pan=stereo|c0=c0|c1=c0 "},
     {}},
    {"LeftOnly",
     "in.avi -af channels=1:1:0:0 -oac mp3lame -ovc copy -o o.avi",
     {"-af aformat=channel_layouts=mono|stereo,pan=mono|c0=c0 "},
     {}},
    {"RightOnlyMakesSureTheRightExists",
     "in.avi -af channels=1:1:1:0,volnorm -oac mp3lame -ovc copy -o o.avi",
     {"aformat=channel_layouts=stereo,pan=mono|c0=c1,dynaudnorm=f=500:g=15:p=0.95:m=5 "},
     {}},
    {"MixToMono",
     "in.avi -af pan=1:0.5:0.5,volnorm -oac mp3lame -ovc copy -o o.avi",
     {"aformat=channel_layouts=stereo,pan=mono|c0=0.5*c0+0.5*c1,dynaudnorm"},
     {}},
    {"LameOldVbrWithVolumeAndQuality",
     "in.avi -oac mp3lame -lameopts vbr=2:q=4:mode=1:vol=2:aq=0 -ovc frameno -of rawaudio -o o.mp3",
     {",volume=2 ", "-q:a 4 -joint_stereo 1 -compression_level 0"},
     {"-b:a", "-abr"}},
    {"LameVbr3IsAbr",
     "in.avi -oac mp3lame -lameopts vbr=3:q=4:mode=2 -ovc frameno -of rawaudio -o o.mp3",
     {"-b:a 128k -abr 1 -joint_stereo 0"},
     {"-q:a"}},
    {"LameMonoMode",
     "in.avi -oac mp3lame -lameopts cbr:br=64:mode=3 -ovc frameno -of rawaudio -o o.mp3",
     {"aformat=channel_layouts=stereo,pan=mono|c0=0.5*c0+0.5*c1 ", "-b:a 64k"},
     {"-joint_stereo"}},
    {"LameAutoMode",
     "in.avi -oac mp3lame -lameopts cbr:br=64:mode=4 -ovc frameno -of rawaudio -o o.mp3",
     {"-b:a 64k"},
     {"-joint_stereo", "pan="}},
    {"AacMainProfileAdtsMpeg2",
     "in.avi -oac faac -faacopts br=96:mpeg=2:object=1 -ovc frameno -of rawaudio -o o.aac",
     {"-c:a aac -b:a 96k -profile:a aac_main", "-f adts -write_mpeg2 1"},
     {}},
    {"AacLtpNeedsExperimental",
     "in.avi -oac faac -faacopts br=64:object=4 -ovc copy -o o.avi",
     {"-profile:a aac_ltp -strict -2"},
     {}},
    {"Mp2", "in.avi -oac lavc -lavcopts acodec=mp2:abitrate=224 -ovc copy -o o.avi", {"-c:a mp2 -b:a 224k"}, {}},
    {"WindowsAudio1",
     "in.avi -oac lavc -lavcopts acodec=wmav1:abitrate=64 -ovc frameno -of rawaudio -o o.wma",
     {"-c:a wmav1 -b:a 64k", "-f asf"},
     {}},
    {"AudioBitrateAbove1000IsBits",
     "in.avi -oac lavc -lavcopts acodec=ac3:abitrate=192000 -ovc copy -o o.avi",
     {"-c:a ac3 -b:a 192000 "},
     {}},
    {"ResampleWithoutSrate",
     "in.avi -af lavcresample=44100 -oac lavc -lavcopts acodec=mp2 -ovc copy -o o.avi",
     {"aresample=44100 -ar 44100 -c:a mp2 -b:a 224k"},
     {}},
    {"ChannelsOneDownmixesToMono",
     "in.avi -channels 1 -oac mp3lame -ovc copy -o o.avi",
     {"-downmix mono -i", "-af aformat=channel_layouts=mono "},
     {}},
    {"StartAndLength",
     "in.avi -ss 00:01:00 -endpos 00:02:30 -ovc copy -nosound -o o.avi",
     {"-ss 60 -i file:in.avi", "-t 150 -f avi"},
     {}},
    {"SizeLimit", "in.avi -endpos 10mb -ovc copy -nosound -o o.avi", {"-fs 10485760 -f avi"}, {"-t "}},
    {"RepeatedLavcoptsMerge",
     "in.avi -oac lavc -lavcopts acodec=ac3:abitrate=128:vbitrate=100 -ovc lavc -lavcopts "
     "vcodec=mpeg2video:vbitrate=2000 "
     "-o o.mpg -of mpeg",
     {"-c:v mpeg2video -b:v 2000k", "-c:a ac3 -b:a 128k"},
     {"-b:v 100k"}},
    {"LastOfWins",
     "in.avi -of lavf -lavfopts format=flv -oac mp3lame -ovc frameno -of rawaudio -o o.mp3",
     {"-f mp3"},
     {"-f flv"}},
    {"VideoOnlyIntoMp4WritesMp4",
     "in.avi -of lavf -lavfopts format=mp4 -nosound -of rawvideo -ovc x264 -x264encopts bitrate=500 -o o.mp4",
     {"-an -f mp4 file:o.mp4.part"},
     {}},
    {"EncodedBareMpeg4",
     "in.avi -nosound -of rawvideo -ovc xvid -xvidencopts bitrate=500 -o o.bin",
     {"-f m4v file:o.bin.part"},
     {"mpeg4_unpack_bframes"}},
    {"BareFlvHasNoRawFormSoFlvIsWritten",
     "in.avi -nosound -of rawvideo -ovc lavc -lavcopts vcodec=flv -o o.bin",
     {"-f flv"},
     {}},
    {"LavfFormatFromExtension", "in.avi -of lavf -ovc copy -nosound -o o.wmv", {"-f asf"}, {}},
    {"LavfOggFromExtension",
     "in.avi -of lavf -oac lavc -lavcopts acodec=libopus -ovc frameno -o o.opus",
     {"-c:a libopus -b:a 224k -f ogg file:o.opus.part"},
     {}},
    {"FourccOnlyInAvi",
     "in.avi -of lavf -lavfopts format=mp4 -ovc x264 -ffourcc H264 -nosound -o o.mp4",
     {"-f mp4"},
     {"-vtag"}},
    {"OutputFirstSourceLast", "-o o.avi -ovc copy -nosound in.avi", {"-i file:in.avi", "file:o.avi.part"}, {}},
};

class EncoderFragment : public ::testing::TestWithParam<FragmentCase> {};

TEST_P(EncoderFragment, ContainsTheEquivalentArguments)
{
    const FragmentCase& fc = GetParam();
    Translation t = translateLine(fc.line);
    ASSERT_EQ(t.failure, FailureKind::None) << t.error;
    std::string tail = joinTail(t) + " ";
    for (const char* piece : fc.contains)
        EXPECT_NE(tail.find(piece), std::string::npos) << piece << "\n in: " << tail;
    for (const char* piece : fc.excludes)
        EXPECT_EQ(tail.find(piece), std::string::npos) << piece << "\n in: " << tail;
}

INSTANTIATE_TEST_SUITE_P(Fragments, EncoderFragment, ::testing::ValuesIn(kFragmentCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RuntimeFailureCase {
    const char* name;
    const char* line;
    const char* reason;
};

const RuntimeFailureCase kRuntimeFailures[] = {
    {"NoVideoEncoder", "in.avi -nosound -o o.avi", "No video encoder (-ovc) selected"},
    {"NoAudioEncoder", "in.avi -ovc copy -o o.avi", "No audio encoder (-oac) selected"},
    {"NothingToWrite", "in.avi -ovc frameno -nosound -o o.avi", "Nothing to write"},
    {"LavfWithoutFormat", "in.avi -of lavf -ovc copy -nosound -o o.xyz", "libavformat output format"},
};

class EncoderRuntimeFailure : public ::testing::TestWithParam<RuntimeFailureCase> {};

TEST_P(EncoderRuntimeFailure, FailsWithReasonButNotAsParseError)
{
    Translation t = translateLine(GetParam().line);
    EXPECT_EQ(t.failure, FailureKind::Runtime);
    EXPECT_NE(t.error.find(GetParam().reason), std::string::npos) << t.error;
}

INSTANTIATE_TEST_SUITE_P(Failures, EncoderRuntimeFailure, ::testing::ValuesIn(kRuntimeFailures),
                         [](const auto& info) { return std::string(info.param.name); });

SourceFacts factsOf(const std::string& format, std::vector<SourceStream> streams)
{
    SourceFacts f;
    f.formatName = format;
    f.durationSeconds = 10;
    f.streams = std::move(streams);
    return f;
}

TEST(EncoderTranslation, AudioIdFollowsTheContainersNumbering)
{
    SourceFacts avi = factsOf("avi", {{0, -1, "video", "mpeg4"}, {1, -1, "audio", "mp3"}, {2, -1, "audio", "ac3"}});
    SourceFacts mp4
        = factsOf("mov,mp4,m4a,3gp,3g2,mj2", {{0, 1, "video", "h264"}, {1, 2, "audio", "aac"}, {2, 3, "audio", "aac"}});
    SourceFacts ps
        = factsOf("mpeg", {{0, 0x1e0, "video", "mpeg2video"}, {1, 0x1c0, "audio", "mp2"}, {2, 0x1c1, "audio", "mp2"}});
    SourceFacts ts = factsOf("mpegts", {{0, 256, "video", "h264"}, {1, 257, "audio", "aac"}});
    auto run = [&](int aid, const SourceFacts& facts) {
        std::string text = "in -aid " + std::to_string(aid) + " -oac mp3lame -ovc copy -o o.avi";
        Command c = parseCommandLine(test::splitLine(text)).command;
        EXPECT_TRUE(needsSourceFacts(c));
        return translate(c, &facts);
    };
    EXPECT_NE(joinTail(run(2, avi)).find("-map 0:v:0 -map 0:2 "), std::string::npos);
    EXPECT_NE(joinTail(run(1, mp4)).find("-map 0:a:1 "), std::string::npos);
    EXPECT_NE(joinTail(run(1, ps)).find("-map 0:i:449 "), std::string::npos);
    EXPECT_NE(joinTail(run(257, ts)).find("-map 0:i:257 "), std::string::npos);
    // AVI stream 0 is the video, not an audio stream.
    Translation wrong = run(0, avi);
    EXPECT_EQ(wrong.failure, FailureKind::Runtime);
    EXPECT_EQ(run(5, mp4).failure, FailureKind::Runtime);
}

TEST(EncoderTranslation, SourceWithoutVideoFailsForVideoFormatsAndConvertsToAudio)
{
    SourceFacts audioOnly = factsOf("wav", {{0, -1, "audio", "pcm_s16le"}});
    Command video = parseCommandLine(splitLine("in.wav -aid 0 -oac mp3lame -ovc lavc -o o.avi")).command;
    Translation t = translate(video, &audioOnly);
    EXPECT_EQ(t.failure, FailureKind::Runtime);
    EXPECT_NE(t.error.find("Video stream is mandatory"), std::string::npos);

    Command audio
        = parseCommandLine(splitLine("in.wav -aid 0 -oac mp3lame -ovc frameno -of rawaudio -o o.mp3")).command;
    EXPECT_EQ(translate(audio, &audioOnly).failure, FailureKind::None);
}

TEST(EncoderTranslation, BareCopyToAnUnknownNameUsesTheSourceCodec)
{
    Command c = parseCommandLine(splitLine("-ovc copy -nosound -of rawvideo -o B.raw B.avi")).command;
    ASSERT_TRUE(needsSourceFacts(c));
    SourceFacts h264 = factsOf("avi", {{0, -1, "video", "h264"}});
    EXPECT_NE(joinTail(translate(c, &h264)).find("-c:v copy -an -f h264 "), std::string::npos);
    SourceFacts odd = factsOf("avi", {{0, -1, "video", "theora"}});
    EXPECT_EQ(translate(c, &odd).failure, FailureKind::Runtime);

    Command named = parseCommandLine(splitLine("-ovc copy -nosound -of rawvideo -o B.m4v B.avi")).command;
    EXPECT_FALSE(needsSourceFacts(named));
}

TEST(EncoderTranslation, StatusFiguresCarryRequestedBitrates)
{
    Translation t = translateLine(kWorkedExamples[5].line); // flv: 500 kbit/s video, 96 audio
    EXPECT_EQ(t.videoKbps, 500);
    EXPECT_EQ(t.audioKbps, 96);
    EXPECT_TRUE(t.writesVideo);
    EXPECT_TRUE(t.writesAudio);
}

std::string joined(const std::vector<std::string>& args)
{
    std::string out;
    for (const std::string& a : args)
        out += (out.empty() ? "" : " ") + a;
    return out;
}

TEST(EncoderSoundBeside, AacSoundIsEncodedBySecondFfmpegWithTheSingleRunsTimestamps)
{
    const WorkedExample& psp = kWorkedExamples[2];
    ASSERT_STREQ(psp.name, "Mp4Direct");
    Translation t = translateLine(psp.line);
    ASSERT_EQ(t.failure, FailureKind::None) << t.error;
    // The feeder: the same input options and sound chain, made continuous from
    // zero, as NUT on its standard output.
    EXPECT_EQ(joined(t.feederArgs),
              "-hide_banner -nostdin -nostats -loglevel error -downmix stereo -i file:D:/in/clip.avi -map 0:a:0? "
              "-af aformat=channel_layouts=stereo,dynaudnorm=f=500:g=15:p=0.95:m=5,aresample=async=1:first_pts=0 "
              "-ar 48000 -c:a aac -b:a 96k -profile:a aac_low -f nut pipe:1");
    // The second: the single run's picture, the sound copied from its standard
    // input with the 1024 samples of priming before zero (1024/48000 s).
    std::vector<std::string> head(t.fedArgs.begin(), t.fedArgs.begin() + test::kHeadArgs);
    EXPECT_EQ(head, std::vector<std::string>(t.ffmpegArgs.begin(), t.ffmpegArgs.begin() + test::kHeadArgs));
    std::string fed = joined(std::vector<std::string>(t.fedArgs.begin() + test::kHeadArgs, t.fedArgs.end()));
    std::string single = joinTail(t);
    EXPECT_TRUE(fed.starts_with("-downmix stereo -i file:D:/in/clip.avi -itsoffset -0.021333 -f nut -i pipe:0 "
                                "-map 0:v:0 -map 1:a:0 -vf "))
        << fed;
    std::string picture = single.substr(single.find("-vf "), single.find(" -af ") - single.find("-vf "));
    EXPECT_NE(fed.find(picture + " -c:a copy -b:a 96k -f mp4 file:D:/out/clip.avi-mp4.mp4.part"), std::string::npos)
        << fed;
    // 22050 Hz: 1024 samples are 46439.9 us.
    std::string line = psp.line;
    line.replace(line.find("-srate 48000"), 12, "-srate 22050");
    EXPECT_NE(joined(translateLine(line).fedArgs).find("-itsoffset -0.046440 "), std::string::npos);
    // An AVI keeps the timestamps as well (the 3GP and XviD lines).
    EXPECT_FALSE(translateLine(kWorkedExamples[0].line).feederArgs.empty());
}

TEST(EncoderSoundBeside, RunsThatWouldNotGainStayOneFfmpeg)
{
    const std::string psp = kWorkedExamples[2].line;
    auto split = [](const std::string& line, const SourceFacts* facts = nullptr, TranslateOptions options = {}) {
        Translation t = translate(parseCommandLine(splitLine(line)).command, facts, options);
        EXPECT_EQ(t.failure, FailureKind::None) << t.error << " " << line;
        EXPECT_EQ(t.feederArgs.empty(), t.fedArgs.empty());
        return !t.fedArgs.empty();
    };
    auto with = [&psp](const std::string& from, const std::string& to) {
        std::string line = psp;
        line.replace(line.find(from), from.size(), to);
        return line;
    };
    EXPECT_TRUE(split(psp));
    EXPECT_FALSE(split(psp, nullptr, {.soundBeside = false}));
    // Cut short, the second would stop reading while the feeder writes.
    EXPECT_FALSE(split(with("-o ", "-endpos 5 -o ")));
    EXPECT_FALSE(split(with(":partitions=all", ":partitions=all:pass=2")));
    EXPECT_FALSE(split(with("-ovc x264", "-ovc copy")));
    EXPECT_FALSE(split(with("-oac faac -faacopts br=96:mpeg=4:object=2:raw", "-oac mp3lame")));
    EXPECT_FALSE(split(with("-oac faac -faacopts br=96:mpeg=4:object=2:raw", "-nosound")));
    EXPECT_FALSE(split(with("format=mp4", "format=flv")));
    // The rate is unknown, and with it the priming's length.
    EXPECT_FALSE(split(with("-srate 48000 ", "")));
    SourceFacts silent = factsOf("avi", {{0, -1, "video", "mpeg4"}});
    EXPECT_FALSE(split(psp, &silent));
    EXPECT_FALSE(split(kWorkedExamples[7].line)) << "a disc's second pass";
}

} // namespace
} // namespace qf::encoder

namespace qf::encoder {
namespace {

std::string x264Tail(const std::string& options)
{
    return joinTail(translateLine("in.avi -ovc x264 -x264encopts " + options + " -nosound -o o.mp4 -of lavf"));
}

// The rules of today's players read the source: the frame rate capped (and a
// variable rate made the nearest standard one), odd sizes made even, HDR
// tone-mapped into 8 bits, 10 bits kept where the model says so.
TEST(EncoderTodaysRules, FollowTheSourceFacts)
{
    const std::string hd = kWorkedExamples[std::size(kWorkedExamples) - 9].line;
    const std::string hevc10
        = R"("D:/in/clip.avi" -of lavf -lavfopts format=mp4:faststart -vf-add autodeint,fpscap=60 -oac faac )"
          R"(-ovc lavc -ffourcc hvc1 -lavcopts vcodec=libx265:vcrf=28:highbitdepth -o "D:/out/o.mp4")";
    ASSERT_NE(hd.find("fpscap=60"), std::string::npos);
    EXPECT_TRUE(wantsSourceFacts(parseCommandLine(splitLine(hd)).command));
    EXPECT_FALSE(wantsSourceFacts(parseCommandLine(splitLine(kWorkedExamples[5].line)).command)) << "the FLV line";
    struct Case {
        const char* name;
        std::string line;
        int width, height;
        double fps;
        const char* pixelFormat;
        const char* transfer;
        std::vector<const char*> contains;
        std::vector<const char*> excludes;
    };
    const Case cases[] = {
        {"HighRateCapped", hd, 1920, 1080, 120, "yuv420p", "bt709", {",fps=60,"}, {"zscale", "crop="}},
        {"PhoneVariableRateSnapped", hd, 1920, 1080, 29.87, "yuv420p", "", {",fps=30000/1001,"}, {}},
        {"OddRateKept", hd, 640, 480, 12.5, "yuv420p", "", {",fps=12500/1000,"}, {}},
        {"HdrToneMappedInto8Bits",
         hd,
         3840,
         2160,
         25,
         "yuv420p10le",
         "smpte2084",
         {"tonemap=tonemap=hable", "zscale=t=bt709:m=bt709:r=tv,format=yuv420p "},
         {"yuv420p10le"}},
        {"HlgToneMapped", hd, 1920, 1080, 50, "yuv420p10le", "arib-std-b67", {"tonemap="}, {}},
        {"TenBitKeptForMain10",
         hevc10,
         1921,
         1080,
         25,
         "yuv420p10le",
         "",
         {"crop=trunc(iw/2)*2:trunc(ih/2)*2", "format=yuv420p10le"},
         {"tonemap"}},
        {"EightBitSourceStaysEightBit", hevc10, 1920, 1080, 25, "yuv420p", "", {"format=yuv420p "}, {"10le", "crop="}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SourceFacts facts;
        facts.formatName = "mov,mp4,m4a,3gp,3g2,mj2";
        facts.durationSeconds = 10;
        SourceStream video{0, 1, "video", "h264"};
        video.width = c.width;
        video.height = c.height;
        video.frameRate = c.fps;
        video.pixelFormat = c.pixelFormat;
        video.colorTransfer = c.transfer;
        facts.streams = {video};
        Translation t = translate(parseCommandLine(splitLine(c.line)).command, &facts);
        ASSERT_EQ(t.failure, FailureKind::None) << t.error;
        std::string tail = joinTail(t) + " ";
        for (const char* piece : c.contains)
            EXPECT_NE(tail.find(piece), std::string::npos) << piece << "\n in: " << tail;
        for (const char* piece : c.excludes)
            EXPECT_EQ(tail.find(piece), std::string::npos) << piece << "\n in: " << tail;
    }
}

TEST(EncoderX264Profile, BaselineWithoutCabacAndBframesMainOtherwiseHighOnlyWhenAsked)
{
    // The phone line: no CABAC, no B-frames.
    std::string phone = x264Tail("bitrate=256:level_idc=13:nocabac:bframes=0");
    EXPECT_NE(phone.find("-profile:v baseline"), std::string::npos) << phone;
    EXPECT_NE(phone.find("8x8dct=0"), std::string::npos) << phone;
    // CABAC on, or B-frames (x264's default three when none are given), is Main.
    for (const char* options : {"bitrate=256:nocabac", "bitrate=256:bframes=0", "crf=22:level_idc=30:bframes=3"}) {
        std::string tail = x264Tail(options);
        EXPECT_NE(tail.find("-profile:v main"), std::string::npos) << options << ": " << tail;
        EXPECT_NE(tail.find("8x8dct=0"), std::string::npos) << options << ": " << tail;
    }
    std::string asked = x264Tail("bitrate=256:8x8dct");
    EXPECT_NE(asked.find("-profile:v high"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("8x8dct=0"), std::string::npos) << asked;
}

const char* kSvcdPass2
    = "in.avi -of mpeg -mpegopts format=xsvcd -vf-add scale=480:576,harddup -ovc lavc "
      "-lavcopts vcodec=mpeg2video:vbitrate=2000:vrc_minrate=600:vrc_maxrate=2500:vrc_buf_size=917:vpass=2 "
      "-nosound -o o.mpg";

TEST(EncoderDiscAspect, DiscsWithoutAnAspectFlagTheNearerStandardOne)
{
    // The choice itself is ffmpeg's, from the display aspect that reaches the
    // end of the chain (the integration tests check 4:3 and 16:9 sources).
    Translation svcd = translateLine(kSvcdPass2);
    std::string tail = joinTail(svcd);
    // The picture fills the disc display's shape: its pixels are the 4:3 or 16:9 display's.
    EXPECT_NE(
        tail.find("scale=w='max(2,min(480,2*round(576*dar/(if(gte(dar,sqrt(64/27)),16/9,4/3)*576/480)/2)))':"
                  "h='max(2,min(576,2*round(480*(if(gte(dar,sqrt(64/27)),16/9,4/3)*576/480)/dar/2)))':flags=bicubic,"
                  "pad=480:576:(ow-iw)/2:(oh-ih)/2,"
                  + std::string(kDiscAspectFilter) + ",format=yuv420p "),
        std::string::npos)
        << tail;
    EXPECT_EQ(tail.find("-aspect"), std::string::npos) << tail;
    EXPECT_EQ(tail.find("setsar=1"), std::string::npos) << tail;
    EXPECT_FALSE(needsSourceFacts(parseCommandLine(splitLine(kSvcdPass2)).command));
    // A video-only source's second pass names rawvideo last: still the disc muxer.
    EXPECT_NE(joinTail(translateLine(std::string(kSvcdPass2) + " -of rawvideo")).find(kDiscAspectFilter),
              std::string::npos);
}

TEST(EncoderDiscAspect, AnExplicitAspectIsKeptAndOtherContainersKeepSquarePixels)
{
    std::string dvd
        = joinTail(translateLine("in.avi -of mpeg -mpegopts format=dvd -ovc lavc "
                                 "-lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:vpass=2 -nosound -o o.mpg"));
    EXPECT_NE(dvd.find("-aspect 16/9"), std::string::npos) << dvd;
    EXPECT_EQ(dvd.find("setdar"), std::string::npos) << dvd;
    std::string avi = joinTail(translateLine("in.avi -ovc lavc -lavcopts vcodec=mpeg2video -nosound -o o.avi"));
    EXPECT_NE(avi.find("setsar=1"), std::string::npos) << avi;
    EXPECT_EQ(avi.find("setdar"), std::string::npos) << avi;
}

TEST(EncoderTelecine, DvdFilmIsCodedProgressiveAndMarkedForSoftPulldown)
{
    Translation film = translateLine(
        "in.avi -of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc "
        "-lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:keyint=12 -nosound -o o.mpg");
    EXPECT_TRUE(film.softPulldown);
    std::string tail = joinTail(film);
    EXPECT_EQ(tail.find("telecine"), std::string::npos) << tail;
    EXPECT_EQ(tail.find("ilme"), std::string::npos) << tail;
    // Without the option, or for MPEG-1, nothing is marked.
    EXPECT_FALSE(translateLine("in.avi -of mpeg -mpegopts format=dvd -ofps 24000/1001 -ovc lavc "
                               "-lavcopts vcodec=mpeg2video:aspect=4/3 -nosound -o o.mpg")
                     .softPulldown);
}

} // namespace
} // namespace qf::encoder
