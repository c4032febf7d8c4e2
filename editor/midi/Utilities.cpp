#include "editor/midi/Utilities.h"

#include <chrono>
#include <thread>

namespace NS_Utilities {

void milisecondDelay(long ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace NS_Utilities
