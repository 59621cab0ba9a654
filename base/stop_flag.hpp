#pragma once
// Set by another thread to end a long job (a render) early: the job looks at
// it between its steps and gives up with kStopped. Null: the job runs on.
#include <atomic>

namespace ferro {

using StopFlag = std::atomic<bool>;
inline bool stopRequested(const StopFlag* stop) { return stop && stop->load(std::memory_order_relaxed); }
inline constexpr const char* kStopped = "Stopped";

}  // namespace ferro
