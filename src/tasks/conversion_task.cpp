#include "tasks/conversion_task.h"

namespace qf::tasks {

ConversionTask::ConversionTask() { lineBuffer.reserve(kLineBufferSize - 1); }

ConversionTask::~ConversionTask() = default;

} // namespace qf::tasks
