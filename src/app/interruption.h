#pragma once

// On SIGINT, SIGTERM and SIGHUP: removes the file being written under a
// temporary name, prints the error document {"error":"interrupted",...}
// unless a document is already being printed, and ends the process with
// 128 + the signal's number, as shells report a run ended by a signal.
void handleInterruptions();

// From here on an interruption prints nothing more: the run's one line is
// on its way out.
void documentIsPrinting();
