#include "process/ProcessSystem.h"

bool IsTerminationRefused(uint32_t pid, bool markedCritical) {
    // 0 is the idle process and 4 the kernel's System process on NT.
    return pid == 0 || pid == 4 || markedCritical;
}
