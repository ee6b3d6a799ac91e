// Trend replicator: uploads the agent's trend day files (DBPath\trends) to
// the trend server's trend store on the schedule the server gives in
// replictr.cfg.
//
// It registers as the event component "replictr" and, on registration,
// fetches replictr.cfg (schedule: the task's timing text, empty for none;
// Retries: 5; WaitBeforeRetry: seconds, the RetryDelay setting) and puts
// the task "Trends Data Replicator" into the scheduler. Each time the task
// is due the scheduler creates a replicator object (class 0x1010) whose
// thread walks the trend directory and uploads every file with resume,
// under its path relative to the trend directory; a file whose local date
// lies before today's is deleted once it is on the server. A pass that
// can't reach the server, can't open the trend store or fails an upload is
// tried again after WaitBeforeRetry seconds, at most Retries more times; a
// server that refuses the agent ends the run. Freeing the object stops the
// thread (the walk, the upload and the pause between passes all see the
// stop), waits for it, and writes the run's start as LastRun (section
// "schedule" of dmwagent.cfg), which the next scheduling starts from.
// Messages start with "replictr:".
#ifndef DMWCLIENT_REPLICTR_H
#define DMWCLIENT_REPLICTR_H

#include <cstdint>

constexpr uint32_t kReplicatorClass = 0x1010;

void ReplicatorInit();
// Removes the task and the "replictr" component, broadcasts method 1 to
// every object whose class shares a bit with 0x1010, then unregisters the
// class (which frees running replicators, each waiting for its thread).
void ReplicatorDone();
// The "replictr" component's event callback (evclnt.h).
void ReplicatorConfigEvent(int code, void *data, int slot);

#endif
