// Buffered text files addressed as numbered objects: created or opened by number (or AnyNumber),
// written line by line in UTF-8, UTF-16 or 8-bit text, read back line by line.
#pragma once

#include <cstdint>

#include "runtime/objects.h"
#include "runtime/text.h"

// Open flags: the encoding in the low five bits (0 means UTF-8) combined with these options.
enum FileFlag : int {
    FileNoBuffer = 0x80000,
    FileAppend = 0x100000,
    FileByteOrderMark = 0x200000,  // read: detect and skip a mark; create: write one
};

// Byte-order mark encodings of WriteStringFormat beyond those of TextEncoding.
enum MarkEncoding : int { MarkUtf16BigEndian = 4, MarkUtf32LittleEndian = 5, MarkUtf32BigEndian = 6 };

// Creates or truncates the file ("w+"). Returns the handle for AnyNumber, nonzero for an explicit
// number, 0 on failure.
int64_t CreateFile(int64_t number, TextView path, int flags = 0);
// Opens an existing regular file for reading; a directory or missing path gives 0.
int64_t ReadFile(int64_t number, TextView path, int flags = 0);
// Nonzero when the number or handle names an open file.
int64_t IsFile(int64_t file);
// Writes the byte-order mark of an encoding (EncodingUtf8, EncodingUtf16, MarkEncoding ...).
void WriteStringFormat(int64_t file, int encoding);
// Writes the text and one line feed; encoding 0 uses the file's own.
void WriteStringN(int64_t file, TextView text, int encoding = 0);
// The next line without its end (LF, CR, CR LF or NUL); "" at the end of the file.
Text ReadString(int64_t file);
// The next line like ReadString when it takes at most maxBytes bytes in the file (maxBytes / 2
// units in UTF-16). A longer line is read to its end without ever being held whole, and gives ""
// with tooLong set: memory stays bounded whatever the file holds.
Text ReadStringWithin(int64_t file, int64_t maxBytes, bool& tooLong);
// 1 at the end of the file, else 0 (also 0 for a number that names no file).
int Eof(int64_t file);
// Writes out buffered bytes and flushes the stream.
void FlushFileBuffers(int64_t file);
// The system's error number of the first write or flush of this file that failed (ENOSPC, EIO,
// ...); 0 while every one succeeded or for a number that names no file. Buffered bytes reach the
// system only when the buffer fills or is flushed, so a failure shows from then on.
int FileError(int64_t file);
// Flushes and closes one file, or every file for AnyNumber.
void CloseFile(int64_t file);

// The user's home folder ending in "/" ($HOME, else the password entry); "" if none is known.
Text GetHomeDirectory();
// The part after the last "/"; a leading double quote is skipped and the part ends before the next.
Text GetFilePart(TextView path);
