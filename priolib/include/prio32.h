/* Prio32: process and thread priorities by small index numbers.
 *
 * Process index: 0 idle, 1 normal, 2 high, 3 realtime.
 * Thread index:  0 idle, 1 lowest, 2 below normal, 3 normal, 4 above normal,
 *                5 highest, 6 time critical.
 * Set functions return non-zero on success and 0 on failure or for an index
 * beyond the table (nothing is changed then). Get functions return 1 and store
 * the index, or 0 (out value untouched) when the current priority is not in
 * the table. */
#ifndef QUILLON_PRIOLIB_INCLUDE_PRIO32_H
#define QUILLON_PRIOLIB_INCLUDE_PRIO32_H

#include <stdint.h>

#if defined(_WIN32)
#define PRIO32_CALL __stdcall
#if defined(PRIO32_BUILDING)
/* Prio32.def alone says what the DLL exports, and under which ordinal. */
#define PRIO32_API
#else
#define PRIO32_API __declspec(dllimport)
#endif
#else
#define PRIO32_CALL
#define PRIO32_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    PRIO32_PROCESS_IDLE = 0,
    PRIO32_PROCESS_NORMAL = 1,
    PRIO32_PROCESS_HIGH = 2,
    PRIO32_PROCESS_REALTIME = 3,
    PRIO32_PROCESS_COUNT = 4
};

enum {
    PRIO32_THREAD_IDLE = 0,
    PRIO32_THREAD_LOWEST = 1,
    PRIO32_THREAD_BELOW_NORMAL = 2,
    PRIO32_THREAD_NORMAL = 3,
    PRIO32_THREAD_ABOVE_NORMAL = 4,
    PRIO32_THREAD_HIGHEST = 5,
    PRIO32_THREAD_TIME_CRITICAL = 6,
    PRIO32_THREAD_COUNT = 7
};

enum { PRIO32_VERSION = 1346 };

/* Grants nothing; kept for callers that expect it. Always 1. */
PRIO32_API int32_t PRIO32_CALL Prio32AllowIO(void);
PRIO32_API int32_t PRIO32_CALL Prio32SetPriorityClass(uint32_t processIndex);
PRIO32_API int32_t PRIO32_CALL Prio32GetPriorityClass(uint32_t *processIndex);
PRIO32_API int32_t PRIO32_CALL Prio32SetThreadPriority(uint32_t threadIndex);
PRIO32_API int32_t PRIO32_CALL Prio32GetThreadPriority(uint32_t *threadIndex);
PRIO32_API uint16_t PRIO32_CALL Prio32GetVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLON_PRIOLIB_INCLUDE_PRIO32_H */
