// Standard input, output and error as Unix tools keep them.
//
// A program started with one of them closed (`rxmem read M22 >&-`) would hand that descriptor
// to the first file it opens, Qt's event loop or a port among them, and its output would go
// there. guardStandardStreams() opens /dev/null on each closed one before anything else opens a
// file: read-only, so that a write to standard output or error still fails (EBADF) and is told.
//
// Whatever a program prints goes through the C library's buffer; the program has printed it only
// once the buffer reached its descriptor. At the end the buffer is flushed and checked, as the
// GNU tools' close_stdout does: a failure is a message on standard error and status 2.
#pragma once

namespace rxport {

// Call first thing in main(), before any file or the application object is opened. `program`
// and `cannotWrite` ("cannot write the output") make the message of a failed final flush:
// "program: cannot write the output: No space left on device".
void guardStandardStreams(const char* program, const char* cannotWrite);

// Sets the words of that message once the program's language is known.
void setCannotWriteText(const char* cannotWrite);

// Drops what standard output still holds and its error, once the program has told the failure
// its own way: the end then says nothing more of it.
void discardStandardOutput();

// Flushes standard output now. Returns `status` when everything printed reached its descriptor;
// else says so on standard error and returns 2.
int flushStandardOutput(int status);

} // namespace rxport
