#pragma once

#include <QApplication>
#include <string>

// The reusable application base: the application name and the version information of the
// program itself.
class CApplikation : public QApplication
{
    Q_OBJECT

public:
    CApplikation(int& argc, char** argv);
    ~CApplikation() override;

    virtual bool InitInstance();
    virtual int ExitInstance();

    // The executable's base name.
    static std::string AppName();

    // The version information built into the program: file and product version as four numbers
    // with dots, the comment and the legal notice.
    static bool ReadVersionInfo(std::string& fileVersion, std::string& productVersion,
                                std::string& comments, std::string& legal);
};
