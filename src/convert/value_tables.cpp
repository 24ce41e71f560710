#include "convert/value_tables.h"

namespace qf::convert {

int32_t categoryByName(std::string_view name)
{
    for (size_t i = 0; i < kCategoryNames.size(); ++i)
        if (name == kCategoryNames[i])
            return static_cast<int32_t>(i);
    return -1;
}

} // namespace qf::convert
