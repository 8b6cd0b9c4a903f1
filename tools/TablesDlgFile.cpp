// The export script into a file the user chose, written whole or not at all.

#include "log/SystemError.h"
#include "main/ViewerDlg.h"
#include "tools/SaveFile.h"
#include "tools/TablesDlg.h"

#include <QDateTime>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>

bool CTablesDlg::ExportSelectedTablesToFile(const std::string& path)
{
    if (!m_pMainDlg)
        return false;
    CViewerDlg& main = *m_pMainDlg;
    const auto fail = [&main, &path](const std::string& reason) {
        main.Output("Abbruch wegen Fehler.");
        main.Output(path + ": " + reason);
        return false;
    };
    // Written beside the target and renamed over it only when whole: a failure or a stop leaves
    // an existing file as it was. Nothing goes through Qt's buffer: every write is the system's
    // own, whose every failure has its reason.
    QSaveFile file(QString::fromStdString(path));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        // Qt's own refusals (a directory, a file that may not be written) come without errno.
        const int failure = file.error() == QFileDevice::OpenError ? errno : 0;
        main.Output("");
        return fail(failure ? SystemErrorText(failure) : file.errorString().toStdString());
    }
    std::string text;
    std::size_t unsynced = 0;
    int failure = 0;
    const auto write = [&file, &text, &unsynced, &failure] {
        failure = WriteAll(file.handle(), text);
        unsynced += text.size();
        text.clear();
        // The disk starts on what is written while the export goes on, so the commit's sync
        // waits for the last pieces only.
        if (failure == 0 && unsynced >= 4 * 1024 * 1024) {
            ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
            unsynced = 0;
        }
        return failure == 0;
    };
    text = "-- Tavrin: Export aus " + main.SourceName() + " vom " +
           QDateTime::currentDateTime().toString("dd.MM.yyyy hh:mm:ss").toStdString() + "\n";
    // Told only once the file holds its rows.
    std::vector<std::string> written;
    const bool exported = ExportTables(
        [&text](const std::vector<std::string>& settings) {
            for (const std::string& setting : settings)
                text.append(setting).append(";\n");
        },
        [&](const std::string& line) {
            text.append(line).append(";\n");
            return text.size() < 64 * 1024 || write();
        },
        [&](const std::string& name) {
            // A line break in a name would end the comment and make the rest of it a statement.
            std::string shown = name;
            std::replace(shown.begin(), shown.end(), '\n', ' ');
            std::replace(shown.begin(), shown.end(), '\r', ' ');
            text.append("-- Tabelle ").append(shown).append("\n");
        },
        [&](const std::string&, long long rows) {
            written.push_back(std::to_string(rows) + " Zeilen nach " + path);
        });
    if (exported && write())
        failure = SyncData(file.handle());
    if (failure != 0) {
        file.cancelWriting();
        return fail(SystemErrorText(failure));
    }
    if (!exported) {
        // The export has told of its own failure or stop.
        file.cancelWriting();
        return false;
    }
    if (const std::string reason = CommitSaveFile(file); !reason.empty())
        return fail(reason);
    for (const std::string& line : written)
        main.Output(line);
    return true;
}
