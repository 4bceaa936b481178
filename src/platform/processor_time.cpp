#include "platform/processor_time.h"

#include <time.h>

namespace tamarind::platform {

double ThreadProcessorSeconds() {
  timespec now{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) return 0;
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace tamarind::platform
