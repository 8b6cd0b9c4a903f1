#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The system's reason for an error number in German, whatever the desktop's language; the C
// library's own words where the German messages are not installed.
std::string SystemErrorText(int errnum);

// Writes all of bytes to fd: a short write goes on with the rest, so the call that cannot go on
// tells why. 0 when all got in, else the error number; written counts what got in.
int WriteAll(int fd, std::string_view bytes, std::size_t* written = nullptr);

// Waits until the disk holds what was written to fd: 0, or why it cannot.
int SyncData(int fd);

// Holds the file that a save to path is about to replace (-1 where there is none), so that the
// rename over it only swaps names: the system frees a file's blocks when the last reference to
// it goes, which for a file of some MiB kept the rename, and the user, waiting 10 ms and more.
int HoldReplacedFile(const std::string& path);

// Lets go of what HoldReplacedFile held, on a thread of its own that nobody waits for.
void ReleaseReplacedFile(int fd);
