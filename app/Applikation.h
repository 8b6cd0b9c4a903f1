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
};
