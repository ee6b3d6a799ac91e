// Temporary-file manager: gives each download target a stable temporary
// file in DBPath's "temp" directory, so that a broken download is found
// again and resumed, and moves a finished one into its target's place.
//
// The map of pending downloads is tmpmgr.cfg in DBPath: one line per
// target in the unnamed section, target path = temporary file name. Names
// are the library's own ("dmw" and eight hex digits, ".tmp"). Entries whose
// temporary file has gone are dropped when the manager starts. One lock
// guards the map; downloads may run on any thread. Messages start with
// "tmpmgr:".
#ifndef DMWCLIENT_TMPMGR_H
#define DMWCLIENT_TMPMGR_H

int TmpMgrInit();  // 0, or -1 when the map can't be had
void TmpMgrDone();
// The temporary file's path for a target (a heap copy the caller frees),
// reusing the target's entry when it has one; null when the manager is
// not set up or the entry can't be made.
char *TmpMgrGetTempName(const char *target);
// Replaces the temporary file's target with it (moving it across volumes
// too) and drops the entry: 0, or -1 when it could not be done, in which
// case the temporary file and its entry stay for the next attempt.
int TmpMgrCommit(const char *temporaryPath);
// Removes the entry that names the temporary file (the file itself stays);
// the next download of its target starts afresh.
void TmpMgrForget(const char *temporaryPath);

#endif
