#include "app/AboutDlg.h"

#include "app/DedicationDlg.h"
#include "main/ViewerDlg.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>

namespace {

int TopLevels(const char* name)
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->objectName() == name;
    return count;
}

void PressOk(QWidget* dlg)
{
    QTest::mouseClick(dlg->findChild<QPushButton*>("IDOK"), Qt::LeftButton);
}

// Runs action and hands each modal dialog other than current that it brings up to handler, then
// closes what the handler leaves open, so a failing test cannot hang. Gives the number of them.
int Modals(const std::function<void()>& action, const std::function<void(QWidget*)>& handler = {},
           QWidget* current = nullptr)
{
    int opened = 0;
    QTimer::singleShot(0, [&] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal || modal == current)
            return;
        ++opened;
        if (handler)
            handler(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    action();
    QApplication::processEvents();
    return opened;
}

TEST(AboutDlg, ShowsCaptionVersionCommentNoticeAndAddress)
{
    CAboutDlg dlg;
    const auto text = [&](const char* name) { return dlg.findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("Info über Tavrin"));
    EXPECT_EQ(text("IDC_STATIC_1011"), "Version (2.0.0.1)");
    EXPECT_EQ(text("IDC_STATIC_1009"), "Release 28.01.2001");
    EXPECT_TRUE(text("IDC_STATIC_1022").contains("2001")) << text("IDC_STATIC_1022").toStdString();
    EXPECT_EQ(text("IDC_STATIC_1023"), "tavrin@brenkow.de");
}

// The dialog, its animated label and the clip that label is to play.
using Animation = std::tuple<std::function<QDialog*()>, const char*, const char*>;
class AboutAndDedicationAnimationTest : public ::testing::TestWithParam<Animation>
{
};

TEST_P(AboutAndDedicationAnimationTest, RunsLoopsAndGoesWithTheDialog)
{
    const auto& [make, label, file] = GetParam();
    std::unique_ptr<QDialog> dlg(make());
    dlg->show();
    QPointer<QMovie> movie = dlg->findChild<QLabel*>(label)->movie();
    ASSERT_FALSE(movie.isNull());
    EXPECT_EQ(movie->fileName(), file);
    EXPECT_TRUE(movie->isValid());
    EXPECT_EQ(movie->state(), QMovie::Running);

    const int last = movie->frameCount() - 1;
    ASSERT_GT(last, 0);
    bool sawLast = false;
    bool wrapped = false;
    QObject::connect(movie, &QMovie::frameChanged, [&](int frame) {
        sawLast = sawLast || frame == last;
        wrapped = wrapped || (sawLast && frame < last);
    });
    movie->setSpeed(1000);
    // Not a time limit on the program: only a way out should the clip stop.
    for (const QDeadlineTimer safety(60000); !wrapped && !safety.hasExpired();)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(wrapped) << "the clip stopped after its last frame";

    dlg.reset();
    EXPECT_TRUE(movie.isNull()) << "the clip outlives its dialog";
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, AboutAndDedicationAnimationTest,
    ::testing::Values(Animation{[] { return new CAboutDlg; }, "IDC_STATIC_1012", ":/about.gif"},
                      Animation{[] { return new CDedicationDlg; }, "IDC_STATIC_1043",
                                ":/dedication.gif"}),
    [](const auto& info) { return std::string(info.index == 0 ? "About" : "Dedication"); });

// A right double-click on the bare dialog or on a label opens the dedication, again once it is
// closed, while the About dialog stays open; a left double-click opens nothing.
TEST(AboutDlg, RightDoubleClickOpensTheDedicationAgainAndAgain)
{
    CAboutDlg about;
    about.show();
    for (QWidget* target :
         {static_cast<QWidget*>(&about), about.findChild<QWidget*>("IDC_STATIC_1012")}) {
        ASSERT_NE(target, nullptr);
        EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::LeftButton); }), 0);
        for (int round = 0; round < 2; ++round) {
            SCOPED_TRACE(target->objectName().toStdString() + " round " + std::to_string(round));
            EXPECT_EQ(Modals([&] { QTest::mouseDClick(target, Qt::RightButton); },
                             [&](QWidget* modal) {
                                 EXPECT_EQ(modal->objectName(), "IDD_DEDICATION");
                                 EXPECT_EQ(modal->windowTitle(), "Widmung");
                                 EXPECT_TRUE(about.isVisible());
                                 PressOk(modal);
                             }),
                      1);
            EXPECT_TRUE(about.isVisible());
            EXPECT_EQ(TopLevels("IDD_DEDICATION"), 0);
        }
    }
}

// Asks the main dialog for the About dialog: by the call, by F1 in the focused login field or
// by the entry of the context menu.
void AskForAbout(CViewerDlg& dlg, const std::string& route)
{
    if (route == "F1")
        QTest::keyClick(dlg.findChild<QLineEdit*>("IDC_SOURCE"), Qt::Key_F1);
    else if (route == "Call")
        dlg.ShowAbout();
    for (QAction* action : dlg.actions())
        if (route == "Menu" && action->text() == QString::fromUtf8("Inf&o über Tavrin..."))
            action->trigger();
}

class MainDialogAboutTest : public ::testing::TestWithParam<const char*>
{
};

// While one About dialog is open, no route opens a second; once it is closed, the next comes.
TEST_P(MainDialogAboutTest, OpensOneAboutDialogAtATime)
{
    CViewerDlg dlg;
    dlg.show();
    for (int round = 0; round < 2; ++round) {
        const auto handle = [&](QWidget* modal) {
            EXPECT_EQ(modal->objectName(), "IDD_ABOUTBOX");
            for (const char* again : {"Call", "F1", "Menu"})
                EXPECT_EQ(Modals([&] { AskForAbout(dlg, again); }, {}, modal), 0)
                    << "again by " << again;
            EXPECT_EQ(TopLevels("IDD_ABOUTBOX"), 1);
            PressOk(modal);
        };
        EXPECT_EQ(Modals([&] { AskForAbout(dlg, GetParam()); }, handle), 1);
        EXPECT_EQ(TopLevels("IDD_ABOUTBOX"), 0) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, MainDialogAboutTest, ::testing::Values("Call", "F1", "Menu"),
                         [](const auto& info) { return std::string(info.param); });

// The dialog's context menu ends with a separator and the About entry.
TEST(MainDialogContextMenu, EndsWithSeparatorAndTheAboutEntry)
{
    CViewerDlg dlg;
    dlg.show();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions())
                shown << (action->isSeparator() ? QString("-") : action->text());
            menu->close();
        }
    });
    const QPoint at(dlg.width() / 2, dlg.height() - 3);
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, dlg.mapToGlobal(at));
    QApplication::sendEvent(&dlg, &request);
    ASSERT_GE(shown.size(), 2) << shown.join('|').toStdString();
    EXPECT_EQ(shown.mid(shown.size() - 2),
              (QStringList{"-", QString::fromUtf8("Inf&o über Tavrin...")}))
        << shown.join('|').toStdString();
}

} // namespace
