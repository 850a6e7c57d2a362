#pragma once

// The one file being written under a temporary name, if any: an interrupted
// run removes it, so that no half-written file is left behind. Setting and
// clearing happen on the thread that writes the file; removal may happen in
// a signal handler, on any thread.
void notePendingFile(const char* path);
void clearPendingFile();

// Removes the noted file, if any. Safe in a signal handler.
void removePendingFile();
