#pragma once

// "Let pending events run" for the scan's hot paths. Running the event loop at
// every status change, anchor and received block costs more than the work it
// interleaves with, so the pump runs it at most once per interval; Stop and
// Skip still arrive within a few milliseconds and act at the next check of the
// running flag.
namespace EventPump {

// Runs pending events when the interval has passed since the last run.
void pump();
// Runs pending events now.
void pumpNow();
// The throttle interval in milliseconds (0 runs events at every pump).
void setIntervalMs(int ms);
int intervalMs();

} // namespace EventPump
