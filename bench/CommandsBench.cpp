// The real main dialog on the offscreen platform, timed around one command button: Export of a
// table or the SQL command with a statement typed into its dialog.
//
//   tavrin_bench_commands --dsn DSN [--user U] [--password P] --table NAME
//                         [--command export|file|sql|data] [--statement SQL] [--file PATH]
//                         [--log FILE] [--runs N] [--progress]
//
// file: the export into the script file PATH (the Tabellen window's "Export in Datei...").
// data: the table's data window; prints "first <s> rows <n>", the time to its first rows, and
// with --statement that statement's result read to its end, "all <s> rows <n> bytes <n>".
//
// Logging is on only with --log. The Information and Tabellen windows are shown, as a user has
// them. Prints one line per run, "seconds <s> cpu <s> lines <n> looking <s> progress <s>" (cpu:
// user and system time of this process, without the server's; looking: the part of the seconds
// spent in the progress checks' looks at the clock and the events; progress: with --progress,
// the seconds from the command's start, the click on Export or on the SQL dialog's "Execute
// SQL", to the progress window being shown, "n/a" when it was not), then "maxrss_kib <n>", the
// peak resident memory of the whole process.

#include "main/ViewerDlg.h"
#include "tools/DataDlg.h"
#include "tools/InfoDlg.h"
#include "tools/ProgressDlg.h"
#include "tools/TablesDlg.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/resource.h>

namespace {

struct Options
{
    std::string dsn, user, password, table, log, file;
    std::string command = "export";
    std::string statement = "Select * From T";
    int runs = 5;
    bool progress = false;
};

using Clock = std::chrono::steady_clock;

// Notes when the progress window is shown. Watching every event of the application would be
// part of the timed command, so it is installed only where the moment is asked for, and it looks
// at nothing but show events.
class ProgressWatch : public QObject
{
public:
    std::optional<Clock::time_point> shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !shown && watched->objectName() == "IDD_PROGRESS")
            shown = Clock::now();
        return false;
    }
};

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "tavrin_bench_commands: %s\n", message.c_str());
    std::exit(1);
}

Options Parse(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--progress") {
            o.progress = true;
            continue;
        }
        if (i + 1 >= argc)
            Fail("missing value for " + name);
        const std::string value = argv[++i];
        if (name == "--dsn")
            o.dsn = value;
        else if (name == "--user")
            o.user = value;
        else if (name == "--password")
            o.password = value;
        else if (name == "--table")
            o.table = value;
        else if (name == "--command")
            o.command = value;
        else if (name == "--statement")
            o.statement = value;
        else if (name == "--log")
            o.log = value;
        else if (name == "--file")
            o.file = value;
        else if (name == "--runs")
            o.runs = std::atoi(value.c_str());
        else
            Fail("unknown option " + name);
    }
    if (o.dsn.empty() || o.table.empty() ||
        (o.command != "export" && o.command != "sql" && o.command != "file" &&
         o.command != "data") ||
        (o.command == "file" && o.file.empty()))
        Fail("usage: --dsn DSN --table NAME [--command export|file|sql|data] [--file PATH] ...");
    return o;
}

// The settings a user who logs (or not) and keeps both tool windows open would have stored.
void WriteSettings(const Options& o, const QString& home)
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Brenkow", "Tavrin");
    settings.setValue("Logging",
                      o.log.empty() ? home + "/Logging.log" : QString::fromStdString(o.log));
    settings.setValue("Logset", o.log.empty() ? "0" : "1");
    settings.setValue("Info", "1");
    settings.setValue("Tabs", "1");
    settings.setValue("AutoDel", "0");
    settings.sync();
}

QPushButton* Button(CViewerDlg& dlg, const char* name)
{
    auto* button = dlg.findChild<QPushButton*>(name);
    if (!button)
        Fail(std::string("no button ") + name);
    return button;
}

void SelectTable(CViewerDlg& dlg, const std::string& table)
{
    auto* list = dlg.TablesDlg()->findChild<QTreeWidget*>("IDC_LIST");
    // PostgreSQL lists the table in lower case; either spelling names the same table here.
    const auto found = list->findItems(QString::fromStdString(table),
                                       Qt::MatchFixedString | Qt::MatchCaseSensitive);
    const auto any = found.isEmpty()
                         ? list->findItems(QString::fromStdString(table), Qt::MatchFixedString)
                         : found;
    if (any.size() != 1)
        Fail("table " + table + " is not listed exactly once");
    list->clearSelection();
    any[0]->setSelected(true);
}

// User and system time of this process: on a busy machine a steadier figure than the clock.
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The last line the command reported, to tell a run that worked from one that failed quickly.
std::string LastLine(CViewerDlg& dlg)
{
    const std::string text = dlg.InfoDlg()->Text();
    if (text.size() < 2)
        return {};
    const std::size_t start = text.rfind("\r\n", text.size() - 3);
    return text.substr(start == std::string::npos ? 0 : start + 2,
                       text.size() - 2 - (start == std::string::npos ? 0 : start + 2));
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Settle(const CDataDlg& data)
{
    do
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    while (data.Busy());
}

// The data window as a double-click opens it: the seconds to its first rows; then, with
// --statement, that statement's result read to the end as Ctrl+End reads it.
int DataWindow(CViewerDlg& dlg, const Options& o)
{
    auto* list = dlg.TablesDlg()->findChild<QTreeWidget*>("IDC_LIST");
    const auto start = Clock::now();
    emit list->itemActivated(list->selectedItems().constFirst(), 0);
    CDataDlg* data = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* found = dynamic_cast<CDataDlg*>(window))
            data = found;
    if (!data)
        Fail("no data window");
    Settle(*data);
    const double first = Since(start);
    if (data->Model().LoadedRows() == 0)
        Fail("no rows: " + data->StatusText());
    std::printf("first %.6f rows %zu\n", first, data->Model().LoadedRows());
    if (o.statement != Options().statement) {
        data->findChild<QLineEdit*>("IDC_STATEMENT")->setText(QString::fromStdString(o.statement));
        data->RunStatement();
        Settle(*data);
        const auto all = Clock::now();
        data->LoadAll();
        Settle(*data);
        std::printf("all %.6f rows %zu bytes %zu\n", Since(all), data->Model().LoadedRows(),
                    data->Model().LoadedBytes());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("maxrss_kib %ld\n", usage.ru_maxrss);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = Parse(argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Settings and the default log path go to a private directory, never the user's.
    QTemporaryDir home;
    if (!home.isValid())
        Fail("cannot create a temporary directory");
    setenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()).constData(), 1);
    setenv("HOME", QFile::encodeName(home.path()).constData(), 1);

    QApplication app(argc, argv);
    QApplication::setApplicationName("tavrin");
    WriteSettings(o, home.path());

    CViewerDlg dlg;
    dlg.show();
    dlg.findChild<QLineEdit*>("IDC_SOURCE")->setText(QString::fromStdString(o.dsn));
    dlg.findChild<QLineEdit*>("IDC_USER")->setText(QString::fromStdString(o.user));
    dlg.findChild<QLineEdit*>("IDC_PASSWORD")->setText(QString::fromStdString(o.password));
    Button(dlg, "IDC_CONNECT")->click();
    Button(dlg, "IDC_SELECT")->click();
    if (!dlg.InfoDlg() || !dlg.InfoDlg()->isVisible())
        Fail("the Information window is not shown");
    SelectTable(dlg, o.table);
    QApplication::processEvents();

    if (o.command == "data")
        return DataWindow(dlg, o);
    QPushButton* button = Button(dlg, o.command == "export" ? "IDC_EXPORT" : "IDC_SQL");
    const std::string statement = o.statement;
    ProgressWatch watch;
    if (o.progress)
        app.installEventFilter(&watch);
    for (int run = 0; run < o.runs; ++run) {
        // The SQL command starts with "Execute SQL"; its dialog is open before.
        Clock::time_point commandStart;
        if (o.command == "sql") {
            QTimer::singleShot(0, [&statement, &commandStart] {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal)
                    Fail("the SQL dialog did not open");
                modal->findChild<QPlainTextEdit*>("IDC_SQLTEXT")
                    ->setPlainText(QString::fromStdString(statement));
                commandStart = Clock::now();
                modal->findChild<QPushButton*>("IDOK")->click();
            });
        }
        watch.shown.reset();
        const double cpuStart = CpuSeconds();
        const double lookStart = CProgressDlg::SecondsLooking();
        const auto start = Clock::now();
        commandStart = start;
        // The file export as the context menu runs it, without its file dialog.
        if (o.command == "file")
            dlg.RunCommand([&] { dlg.TablesDlg()->ExportSelectedTablesToFile(o.file); });
        else
            button->click();
        // The Information window catches up once the event loop runs: that is part of the cost.
        QApplication::processEvents();
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        const double cpu = CpuSeconds() - cpuStart;
        const double looking = CProgressDlg::SecondsLooking() - lookStart;

        const std::string last = LastLine(dlg);
        const bool ok = o.command == "export" ? last.rfind("Insert Into ", 0) == 0
                        : o.command == "file" ? last.find(" Zeilen nach ") != std::string::npos
                                              : last == "SQL succeeded.";
        if (!ok)
            Fail("the command did not finish as expected; last line: " + last.substr(0, 200));
        std::string progress = "n/a";
        if (watch.shown)
            progress =
                std::to_string(std::chrono::duration<double>(*watch.shown - commandStart).count());
        std::printf("seconds %.6f cpu %.6f lines %zu looking %.6f progress %s\n", elapsed.count(),
                    cpu, dlg.InfoDlg()->LineCount(), looking, progress.c_str());
        std::fflush(stdout);
    }

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("maxrss_kib %ld\n", usage.ru_maxrss);
    return 0;
}
