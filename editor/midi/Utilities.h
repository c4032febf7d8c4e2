#pragma once

namespace NS_Utilities {
// Sleeps the calling thread for ms milliseconds (nothing for ms <= 0).
void milisecondDelay(long ms);
}
