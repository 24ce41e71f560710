#include "app/gui/display_check.h"

#include <cstdlib>
#include <filesystem>
#include <xcb/xcb.h>

namespace qf::app {

namespace {

std::string optionValue(const std::vector<std::string>& args, const char* name)
{
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "--")
            break;
        if (args[i] == name)
            return args[i + 1];
    }
    return {};
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

bool displayReachable(std::string platform, const std::vector<std::string>& args, std::string& why)
{
    if (const std::string given = optionValue(args, "-platform"); !given.empty())
        platform = given;
    // "xcb:option=value" carries the plugin's options after the name.
    platform = platform.substr(0, platform.find(':'));
    if (platform == "xcb") {
        std::string display = optionValue(args, "-display");
        if (display.empty())
            display = environment("DISPLAY");
        if (display.empty()) {
            why = "没有图形显示（DISPLAY 未设置）：请在桌面会话中启动，命令行转换请用 quillfer-cli";
            return false;
        }
        // A real connection: a DISPLAY of a server that is gone fails the same way.
        xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
        const bool ok = xcb_connection_has_error(connection) == 0;
        xcb_disconnect(connection);
        if (!ok)
            why = "无法连接图形显示 " + display + "：请在桌面会话中启动，命令行转换请用 quillfer-cli";
        return ok;
    }
    if (platform == "wayland" || platform == "wayland-egl") {
        const std::string socket = environment("WAYLAND_DISPLAY");
        std::error_code ec;
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        const bool found
            = !socket.empty() && std::filesystem::exists(socket[0] == '/' ? socket : runtime + "/" + socket, ec);
        if (!found)
            why = "无法连接 Wayland 显示" + (socket.empty() ? std::string("（WAYLAND_DISPLAY 未设置）") : " " + socket)
                + "：请在桌面会话中启动，命令行转换请用 quillfer-cli";
        return found;
    }
    return true;
}

} // namespace qf::app
