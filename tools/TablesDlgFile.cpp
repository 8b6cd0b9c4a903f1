// The export script into a file the user chose, written whole or not at all.

#include "main/ViewerDlg.h"
#include "tools/TablesDlg.h"

#include <QDateTime>
#include <QSaveFile>
#include <algorithm>
#include <fcntl.h>

bool CTablesDlg::ExportSelectedTablesToFile(const std::string& path)
{
    if (!m_pMainDlg)
        return false;
    CViewerDlg& main = *m_pMainDlg;
    // Written beside the target and renamed over it only when whole: a failure or a stop leaves
    // an existing file as it was.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        main.Output("");
        main.Output("Abbruch wegen Fehler.");
        main.Output(path + ": " + file.errorString().toStdString());
        return false;
    }
    std::string text;
    qint64 unsynced = 0;
    const auto write = [&file, &text, &unsynced] {
        file.write(text.data(), static_cast<qint64>(text.size()));
        unsynced += static_cast<qint64>(text.size());
        text.clear();
        // The disk starts on what is written while the export goes on, so the commit's sync
        // waits for the last pieces only.
        if (unsynced >= 4 * 1024 * 1024 && file.flush()) {
            ::sync_file_range(file.handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
            unsynced = 0;
        }
    };
    text = "-- Tavrin: Export aus " + main.SourceName() + " vom " +
           QDateTime::currentDateTime().toString("dd.MM.yyyy hh:mm:ss").toStdString() + "\n";
    const bool ok = ExportTables(
        [&](const std::string& line) {
            text.append(line).append(";\n");
            if (text.size() >= 64 * 1024)
                write();
            return true;
        },
        [&](const std::string& name) {
            // A line break in a name would end the comment and make the rest of it a statement.
            std::string shown = name;
            std::replace(shown.begin(), shown.end(), '\n', ' ');
            std::replace(shown.begin(), shown.end(), '\r', ' ');
            text.append("-- Tabelle ").append(shown).append("\n");
        },
        [&](const std::string&, long long rows) {
            main.Output(std::to_string(rows) + " Zeilen nach " + path);
        });
    write();
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        main.Output("Abbruch wegen Fehler.");
        main.Output(path + ": " + file.errorString().toStdString());
        return false;
    }
    return true;
}
