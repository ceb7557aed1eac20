// Buffered UTF-8 text files addressed as numbered objects: created or opened by number (or
// AnyNumber), written line by line, or read back line by line.
#pragma once

#include <cstdint>

#include "runtime/objects.h"
#include "runtime/text.h"

// Creates or truncates the file for writing. Returns the handle for AnyNumber, nonzero for an
// explicit number, 0 on failure.
int64_t CreateFile(int64_t number, TextView path);
// Opens an existing regular file for reading; a directory, a FIFO or a missing path gives 0.
int64_t ReadFile(int64_t number, TextView path);
// Writes the UTF-8 byte-order mark.
void WriteStringFormat(int64_t file);
// Writes the text in UTF-8 and one line feed.
void WriteStringN(int64_t file, TextView text);
// Writes bytes that are UTF-8 already, as they are, and one line feed.
void WriteUtf8N(int64_t file, std::string_view bytes);
// The next line without its end (LF, CR, CR LF or NUL) when it takes at most maxBytes bytes in the
// file. A longer line is read to its end without ever being held whole, and gives "" with tooLong
// set: memory stays bounded whatever the file holds. "" at the end of the file.
Text ReadStringWithin(int64_t file, int64_t maxBytes, bool& tooLong);
// 1 at the end of a file opened for reading, else 0 (also for a number that names no file).
int Eof(int64_t file);
// Writes out buffered bytes and flushes the stream.
void FlushFileBuffers(int64_t file);
// The system's error number of the first write or flush of this file that failed (ENOSPC, EIO,
// ...); 0 while every one succeeded or for a number that names no file. Buffered bytes reach the
// system only when the buffer fills or is flushed, so a failure shows from then on.
int FileError(int64_t file);
// Where the next byte written goes: the bytes that reached the system plus those still buffered;
// -1 for a number that names no file.
int64_t FileWriteOffset(int64_t file);
// The file's size as the system holds it, buffered bytes not counted; -1 when it cannot be told.
int64_t FileStoredSize(int64_t file);
// Drops the bytes still buffered for writing and cuts the file to `size` bytes, writing on from
// there: what a failed write left past that point is gone. False (errno set) when the system
// refuses, as it does for a device or a pipe.
bool CutFile(int64_t file, int64_t size);
// Flushes and closes one file, or every file for AnyNumber.
void CloseFile(int64_t file);

// The user's home folder ending in "/" ($HOME, else the password entry); "" if none is known.
Text GetHomeDirectory();
