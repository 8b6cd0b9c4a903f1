#pragma once

#include <cstddef>
#include <memory>
#include <string>

class QSettings;

// Holds the program's settings store open, as a registry key would be: opened only when it
// exists, or created; values are strings, read back whatever type they were stored with.
class CRegistryKey
{
public:
    enum Result : long
    {
        Success = 0,
        NotFound = 2,
        MoreData = 234,
        AccessDenied = 5
    };

    CRegistryKey();
    ~CRegistryKey();
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // The path names the store, "Software\\Organisation\\Application".
    long Open(const std::string& path);
    long Create(const std::string& path);
    // Reads a value whose text, with a terminating zero, fits into size bytes; on MoreData
    // size tells how many bytes would be needed.
    long QueryValue(std::string& value, const std::string& name, std::size_t& size) const;
    long SetString(const std::string& text, const std::string& name);
    long Close();

private:
    std::unique_ptr<QSettings> m_settings;
};
