// The calling thread one scheduling step below the others of the process,
// for work that must not slow the interface.
#ifndef QUILLON_APP_PLATFORM_THREAD_PRIORITY_H
#define QUILLON_APP_PLATFORM_THREAD_PRIORITY_H

namespace quillon::platform {

// False when the system refused the change (the thread runs on as it was).
bool lowerCurrentThreadPriority();

} // namespace quillon::platform

#endif
