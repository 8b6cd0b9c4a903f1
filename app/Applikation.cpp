#include "app/Applikation.h"

#include "app/Version.h"

#include <cstdio>

namespace {

std::string FormatVersion(const unsigned (&parts)[4])
{
    char text[64];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
    return text;
}

} // namespace

CApplikation::CApplikation(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName("Brenkow");
    // The name the program is known by, not whatever its file happens to be called.
    setApplicationName("Tavrin");
}

CApplikation::~CApplikation() = default;

bool CApplikation::InitInstance()
{
    return true;
}

int CApplikation::ExitInstance()
{
    return 0;
}

std::string CApplikation::AppName()
{
    return QApplication::applicationName().toStdString();
}

bool CApplikation::ReadVersionInfo(std::string& fileVersion, std::string& productVersion,
                                   std::string& comments, std::string& legal)
{
    fileVersion = FormatVersion(version::FileVersion);
    productVersion = FormatVersion(version::ProductVersion);
    comments = version::Comments;
    legal = version::LegalCopyright;
    return true;
}
