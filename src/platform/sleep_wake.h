// The system's sleep and wake, as logind announces them on the system bus.
#pragma once

#include <functional>

// Names a D-Bus address to listen on instead of the system bus (a test's private bus).
inline constexpr char SystemBusAddressVariable[] = "QUOLK_SYSTEM_BUS_ADDRESS";

class SleepWakeObserver;
// Called with true just before the system sleeps and with false when it has woken.
using SleepWakeHandler = std::function<void(bool goingToSleep)>;

// Listens for logind's PrepareForSleep signal. nullptr when there is no system bus or no logind on
// it: the program then simply hears nothing. Needs a running Qt application; the handler runs on
// its thread.
SleepWakeObserver* CreateSleepWakeObserver(SleepWakeHandler handler);
// Stops listening and frees the observer; nullptr is allowed.
void RemoveSleepWakeObserver(SleepWakeObserver* observer);
