#include "app/AboutDlg.h"

#include "app/DedicationDlg.h"
#include "main/ViewerDlg.h"
#include "tests/support/DialogDriver.h"

namespace {

int TopLevels(const char* name)
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->objectName() == name;
    return count;
}

// The clip plays in a loop however its file asks to be played, and goes with its dialog.
template <class Dlg> void ExpectLoopingClip(const char* label, const char* file)
{
    auto dlg = std::make_unique<Dlg>();
    dlg->show();
    QPointer<QMovie> movie = Child<QLabel>(dlg.get(), label)->movie();
    ASSERT_FALSE(movie.isNull()) << file;
    EXPECT_EQ(movie->fileName(), file);
    const int last = movie->frameCount() - 1;
    bool sawLast = false, wrapped = false;
    QObject::connect(movie, &QMovie::frameChanged, [&](int frame) {
        sawLast = sawLast || frame == last;
        wrapped = wrapped || (sawLast && frame < last);
    });
    movie->setSpeed(1000);
    // Not a time limit on the program: only a way out should the clip stop.
    for (const QDeadlineTimer safety(60000); !wrapped && !safety.hasExpired();)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(wrapped && last > 0) << file << ": the clip stopped after its last frame";
    dlg.reset();
    EXPECT_TRUE(movie.isNull()) << file << ": the clip outlives its dialog";
}

TEST(AboutDlg, ShowsItsTextsAndLoopingClips)
{
    CAboutDlg dlg;
    QString texts = dlg.windowTitle();
    for (const char* name :
         {"IDC_STATIC_1011", "IDC_STATIC_1009", "IDC_STATIC_1022", "IDC_STATIC_1023"})
        texts += "|" + Child<QLabel>(&dlg, name)->text();
    EXPECT_EQ(texts, "Info über Tavrin|Version (2.0.0.1)|Release 28.01.2001|Copyright © 2001 "
                     "Brenkow. Alle Rechte vorbehalten.|tavrin@brenkow.de");
    ExpectLoopingClip<CAboutDlg>("IDC_STATIC_1012", ":/about.gif");
    ExpectLoopingClip<CDedicationDlg>("IDC_STATIC_1043", ":/dedication.gif");
}

// A right double-click on the bare dialog or on a label opens the dedication, again once it is
// closed, while the About dialog stays open; a left double-click opens nothing.
TEST(AboutDlg, RightDoubleClickOpensTheDedicationAgainAndAgain)
{
    CAboutDlg about;
    about.show();
    for (QWidget* target : {static_cast<QWidget*>(&about), Child(&about, "IDC_STATIC_1012")}) {
        EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::LeftButton); }), 0);
        for (int round = 0; round < 2; ++round) {
            QString seen;
            EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::RightButton); },
                             [&](QWidget* modal) {
                                 seen = modal->objectName() + " " + modal->windowTitle();
                                 EXPECT_TRUE(about.isVisible());
                             }),
                      1);
            EXPECT_EQ(seen, "IDD_DEDICATION Widmung");
            EXPECT_EQ(TopLevels("IDD_DEDICATION"), 0);
        }
    }
    EXPECT_TRUE(about.isVisible());
}

// The About dialog opens by the call, by F1 in the focused login field and by the last entry of
// the context menu; while one is open, none of them opens a second; once it is closed, the next
// comes.
TEST(AboutDlg, MainDialogOpensOneAtATime)
{
    CViewerDlg dlg;
    dlg.show();
    QStringList menu;
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activePopupWidget();
        for (QAction* action : popup ? popup->actions() : QList<QAction*>())
            menu << (action->isSeparator() ? QString("-") : action->text());
        if (popup)
            popup->close();
    });
    const QPoint at(9, dlg.height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, dlg.mapToGlobal(at));
    QApplication::sendEvent(&dlg, &request);
    EXPECT_EQ(menu.mid(menu.size() - 2), (QStringList{"-", "Inf&o über Tavrin..."}));
    const auto ask = [&](char how) {
        if (how == 'F')
            QTest::keyClick(Child(&dlg, "IDC_SOURCE"), Qt::Key_F1);
        else
            how == 'C' ? dlg.ShowAbout() : dlg.actions().last()->trigger();
    };
    for (char how : std::string("CFMC")) {
        EXPECT_EQ(Modals([&] { ask(how); },
                         [&](QWidget* about) {
                             EXPECT_EQ(about->objectName(), "IDD_ABOUTBOX");
                             for (char again : std::string("CFM"))
                                 EXPECT_EQ(Modals([&] { ask(again); }, {}, about), 0) << again;
                             EXPECT_EQ(TopLevels("IDD_ABOUTBOX"), 1);
                         }),
                  1)
            << how;
        EXPECT_EQ(TopLevels("IDD_ABOUTBOX"), 0) << how;
    }
}

} // namespace
