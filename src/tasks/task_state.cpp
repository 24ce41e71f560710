#include "tasks/task_state.h"

#include <array>
#include <cstddef>

namespace qf::tasks {

const char* taskStateText(int32_t state)
{
    static constexpr std::array<const char*, 10> kTexts
        = {"未完成",   "错误",     "无法解析资源文件", "错误的转换参数", "排队",
           "正在转换", "一次编码", "二次编码",         "正在合成",       "已完成"};
    if (state < 0 || state >= static_cast<int32_t>(kTexts.size()))
        return "";
    return kTexts[static_cast<size_t>(state)];
}

} // namespace qf::tasks
