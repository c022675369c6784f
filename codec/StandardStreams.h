// The standard streams as a program finds them at its start.
#pragma once

namespace corvane {

// Where standard input, output or error (descriptors 0, 1 and 2) came closed, puts a stand-in
// in its place that fails every read (input) or write (output, error) with EBADF, "Bad file
// descriptor", just as the closed stream does. Without it the next file the program opens would
// take that number: a read of standard input would read that file, or a result written to
// standard output land in a file opened for reading. Called first thing in main, before any file
// is opened. Does nothing on Windows, where a file never takes a standard stream's place.
void ReserveStandardStreams();

}  // namespace corvane
