#include "tools/SaveFile.h"

#include "log/SystemError.h"

#include <QSaveFile>
#include <cerrno>

std::string CommitSaveFile(QSaveFile& file)
{
    const int replaced = HoldReplacedFile(file.fileName().toStdString());
    errno = 0;
    const bool committed = file.commit();
    // The rename's reason; the commit has removed the file it wrote.
    const int failure = errno;
    ReleaseReplacedFile(replaced);
    if (committed)
        return "";
    return failure ? SystemErrorText(failure) : file.errorString().toStdString();
}
