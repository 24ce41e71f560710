#include "tasks/post_processing_commands.h"

#include "convert/command_line_builder.h"

namespace qf::tasks {

const char* const kAtomEditScript = "[Config]\r\n"
                                    "Title=PSP MPEG-4 SP/ASP\r\n"
                                    "MQV=2\r\n"
                                    "CODEC=1\r\n"
                                    "Build_edts=1\r\n"
                                    "\r\n"
                                    "[DeleteAtom]\r\n"
                                    "Item0=ftyp\r\n"
                                    "Item1=free\r\n"
                                    "Item2=udta\r\n"
                                    "Item3=iods\r\n"
                                    "\r\n"
                                    "[InsertAtom]\r\n"
                                    "Item0=ftypMSNV%01%00%07%86MSNVmp42isom\r\n";

core::TextString withSuffix(const char* base, const char* suffix)
{
    core::TextString path = base;
    path.append(suffix);
    return path;
}

namespace {

void appendFile(core::TextString& line, const char* base, const char* suffix)
{
    convert::appendQuotedPath(line, withSuffix(base, suffix).c_str());
}

} // namespace

core::TextString toolCommand(ToolCommand which, const core::ToolPaths& tools, const char* base, int32_t rate)
{
    core::TextString line;
    switch (which) {
    case ToolCommand::Probe3gp:
    case ToolCommand::ProbeMp4:
        line = tools.frameRateProbePath;
        if (which == ToolCommand::ProbeMp4)
            line.append(" ");
        appendFile(line, base, ".avi");
        break;
    case ToolCommand::ExtractVideo:
        line = tools.encoderPath;
        line.append(" -ovc copy -nosound -of rawvideo -o ");
        appendFile(line, base, ".m4v");
        line.append(" ");
        appendFile(line, base, ".avi");
        break;
    case ToolCommand::ExtractAudio:
        line = tools.encoderPath;
        line.append(" -ovc frameno -oac copy -of rawaudio -o ");
        appendFile(line, base, ".aac");
        line.append(" ");
        appendFile(line, base, ".avi");
        break;
    case ToolCommand::Video3gp:
    case ToolCommand::VideoMp4:
        line = tools.mp4MuxerPath;
        line.append(which == ToolCommand::Video3gp ? " -force3GPCompliance -c " : " -c ");
        appendFile(line, base, ".m4v");
        line.appendFormat(" -rate=%d ", rate);
        appendFile(line, base, which == ToolCommand::Video3gp ? ".3gp" : ".mp4");
        break;
    case ToolCommand::Audio3gp:
    case ToolCommand::AudioMp4:
        line = tools.mp4MuxerPath;
        line.append(which == ToolCommand::Audio3gp ? " -force3GPCompliance -c " : " -c ");
        appendFile(line, base, ".aac");
        line.append(" ");
        appendFile(line, base, which == ToolCommand::Audio3gp ? ".3gp" : ".mp4");
        break;
    case ToolCommand::PmpMux:
        line = tools.pmpMuxerPath;
        line.append(" -v ");
        appendFile(line, base, ".avi");
        line.append(" -a ");
        appendFile(line, base, ".aac");
        line.append(" -o ");
        appendFile(line, base, ".pmp");
        break;
    case ToolCommand::PmpMuxSilent:
        line = tools.pmpMuxerPath;
        line.append(" -v ");
        appendFile(line, base, ".avi");
        line.append(" -o ");
        appendFile(line, base, ".pmp");
        break;
    case ToolCommand::AtomEdit:
        line = tools.atomEditorPath;
        line.append(" ");
        appendFile(line, base, ".mp4");
        line.append(" ");
        appendFile(line, base, ".tmp");
        line.append(" ");
        line.append(tools.atomScriptArg);
        break;
    }
    return line;
}

} // namespace qf::tasks
