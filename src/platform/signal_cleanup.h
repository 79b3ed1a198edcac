// Temporary files removed when the user interrupts the program or the session ends.
#pragma once

namespace orbelin
{

// Installs handlers for SIGINT, SIGTERM and SIGHUP that unlink every registered temporary file and
// then end the process by the same signal (a shell reports 128 + the signal's number), and ignores
// SIGXFSZ, so that a file-size limit shows as an ordinary write error instead of killing the
// process without a word. A signal ignored when the process started (nohup) stays ignored. Call
// once, early, before conversions start; calling it again changes nothing.
void InstallSignalCleanup();

// Registers a file to unlink if one of those signals ends the process; returns the slot to give
// back, or -1 when every slot is taken or the path is too long (the file then has only its owner
// to remove it). Safe to call from several threads at once.
int RegisterTemporary(const char* path);
// Gives the slot back (-1 is ignored). Call it after the file is renamed or removed, not before:
// a signal in between then unlinks a name that no longer exists, which is harmless.
void UnregisterTemporary(int slot);

// While one lives, those signals wait: the handler only notes one, and when the last of these ends
// the temporary files are removed and the process ends by it. For a step that must not stop
// half-way, such as a drawing copied into an existing file. Safe on several threads at once.
class CSignalsDeferred
{
public:
    CSignalsDeferred();
    ~CSignalsDeferred();
    CSignalsDeferred(const CSignalsDeferred&) = delete;
    CSignalsDeferred& operator=(const CSignalsDeferred&) = delete;
};

} // namespace orbelin
