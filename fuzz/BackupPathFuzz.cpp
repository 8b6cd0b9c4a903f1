// The log path is typed by the user; rotation must never put the backup anywhere but next to it,
// nor onto the log itself.

#include "fuzz/Check.h"
#include "log/LogFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

std::string Directory(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string backup = CLogFile::BackupPath(path);

    FUZZ_CHECK(EndsWith(backup, ".BAK"));
    FUZZ_CHECK(Directory(backup) == Directory(path));
    FUZZ_CHECK(backup != path);
    return 0;
}
