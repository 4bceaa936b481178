// Processor time, for budgets that must not depend on how busy the machine
// is: a page's recognition gets so many seconds of its thread's own work,
// not of the wall clock, which other programs on a loaded machine stretch.
#pragma once

namespace tamarind::platform {

// Seconds of processor time the calling thread has used so far.
double ThreadProcessorSeconds();

}  // namespace tamarind::platform
