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
