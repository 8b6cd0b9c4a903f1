#include "app/Applikation.h"

#include <QFileInfo>

CApplikation::CApplikation(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName("Brenkow");
    setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
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
