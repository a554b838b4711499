// The launcher window driven through the platform's mouse events, with the
// "open" action recorded instead of performed.

#include "installer_starter.h"
#include "launcher_window.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <memory>

using namespace quillon::launcher;

class LauncherTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void isABorderlessWindowOfTheLauncherSize();
    void isCentredOnTheScreen();
    void clickOnAnAreaOpensItsInstaller_data();
    void clickOnAnAreaOpensItsInstaller();
    void missingInstallerOpensNothingAndWindowStays();
    void installerFolderOrDirectoryIsNotAnInstaller();
    void twoClicksOpenTwice();
    void exitAreaClosesTheWindow();
    void clicksOutsideTheAreasDoNothing_data();
    void clicksOutsideTheAreasDoNothing();
    void everyAreaShowsThePointingHand();
    void areasDrawNothingOverThePicture();
    void programFolderKeepsOneTrailingSeparator();

private:
    void createInstaller(const QString &edition);
    void showWindow();
    void clickAt(const QPoint &point);

    std::unique_ptr<QTemporaryDir> folder_;
    QStringList opened_;
    std::unique_ptr<LauncherWindow> window_;
};

void LauncherTest::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    opened_.clear();
    window_ = std::make_unique<LauncherWindow>(
        InstallerStarter(folder_->path(), [this](const QString &path) {
            opened_ << path;
            return true;
        }));
}

void LauncherTest::cleanup() {
    window_.reset();
    folder_.reset();
}

void LauncherTest::createInstaller(const QString &edition) {
    QVERIFY(QDir(folder_->path()).mkpath(edition));
    QFile file(folder_->filePath(edition + QStringLiteral("/setup.exe")));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void LauncherTest::showWindow() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

// Through the window, so Qt itself finds the child under the point.
void LauncherTest::clickAt(const QPoint &point) {
    QTest::mouseClick(window_->windowHandle(), Qt::LeftButton, Qt::NoModifier, point);
}

void LauncherTest::isABorderlessWindowOfTheLauncherSize() {
    showWindow();
    QCOMPARE(window_->size(), QSize(557, 346));
    QVERIFY(window_->isWindow());
    QVERIFY(window_->windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(window_->windowTitle(), QStringLiteral("Quillon Installer"));
    QCOMPARE(window_->font().family(), QStringLiteral("Tahoma"));
    QCOMPARE(window_->font().pointSize(), 8);
}

void LauncherTest::isCentredOnTheScreen() {
    showWindow();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint offset = window_->geometry().center() - screen.center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("off centre by %1,%2").arg(offset.x()).arg(offset.y())));
}

void LauncherTest::clickOnAnAreaOpensItsInstaller_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("edition");
    QTest::newRow("32-bit middle") << QPoint(278, 195) << QStringLiteral("X86");
    QTest::newRow("32-bit top left") << QPoint(67, 180) << QStringLiteral("X86");
    QTest::newRow("32-bit bottom right") << QPoint(488, 209) << QStringLiteral("X86");
    QTest::newRow("64-bit middle") << QPoint(278, 232) << QStringLiteral("X64");
    QTest::newRow("64-bit top left") << QPoint(67, 217) << QStringLiteral("X64");
    QTest::newRow("64-bit bottom right") << QPoint(488, 246) << QStringLiteral("X64");
}

void LauncherTest::clickOnAnAreaOpensItsInstaller() {
    QFETCH(QPoint, point);
    QFETCH(QString, edition);
    createInstaller(QStringLiteral("X86"));
    createInstaller(QStringLiteral("X64"));
    showWindow();

    clickAt(point);

    QCOMPARE(opened_, QStringList{folder_->path() + '/' + edition + QStringLiteral("/setup.exe")});
    QVERIFY(window_->isVisible());
}

void LauncherTest::missingInstallerOpensNothingAndWindowStays() {
    createInstaller(QStringLiteral("X86"));
    showWindow();

    clickAt(kInstall64Area.center());
    QVERIFY(opened_.isEmpty());
    QVERIFY(window_->isVisible());

    clickAt(kInstall32Area.center());
    QCOMPARE(opened_.size(), 1);
}

void LauncherTest::installerFolderOrDirectoryIsNotAnInstaller() {
    QVERIFY(QDir(folder_->path()).mkpath(QStringLiteral("X86/setup.exe")));
    showWindow();

    clickAt(kInstall32Area.center());
    QVERIFY(opened_.isEmpty());
}

void LauncherTest::twoClicksOpenTwice() {
    createInstaller(QStringLiteral("X64"));
    showWindow();

    clickAt(kInstall64Area.center());
    clickAt(kInstall64Area.center() + QPoint(40, 0));

    QCOMPARE(opened_.size(), 2);
    QCOMPARE(opened_.at(0), opened_.at(1));
}

void LauncherTest::exitAreaClosesTheWindow() {
    createInstaller(QStringLiteral("X86"));
    createInstaller(QStringLiteral("X64"));
    showWindow();

    clickAt(kExitArea.center());

    QVERIFY(!window_->isVisible());
    QVERIFY(opened_.isEmpty());
}

void LauncherTest::clicksOutsideTheAreasDoNothing_data() {
    QTest::addColumn<QPoint>("point");
    QTest::newRow("left of 32-bit") << QPoint(66, 195);
    QTest::newRow("above 32-bit") << QPoint(278, 179);
    QTest::newRow("right of 32-bit") << QPoint(489, 195);
    QTest::newRow("between the buttons") << QPoint(278, 213);
    QTest::newRow("below 64-bit") << QPoint(278, 247);
    QTest::newRow("left of exit") << QPoint(456, 265);
    QTest::newRow("below exit") << QPoint(470, 279);
    QTest::newRow("picture corner") << QPoint(5, 5);
}

void LauncherTest::clicksOutsideTheAreasDoNothing() {
    QFETCH(QPoint, point);
    createInstaller(QStringLiteral("X86"));
    createInstaller(QStringLiteral("X64"));
    showWindow();

    clickAt(point);

    QVERIFY(opened_.isEmpty());
    QVERIFY(window_->isVisible());
}

void LauncherTest::everyAreaShowsThePointingHand() {
    showWindow();
    for (const QRect &area : {kInstall32Area, kInstall64Area, kExitArea}) {
        QWidget *under = window_->childAt(area.center());
        QVERIFY(under != nullptr);
        QCOMPARE(under->geometry(), area);
        QCOMPARE(under->cursor().shape(), Qt::PointingHandCursor);
    }
    QCOMPARE(window_->childAt(QPoint(5, 5)), nullptr);
}

void LauncherTest::areasDrawNothingOverThePicture() {
    showWindow();
    const QImage shown = window_->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage picture = renderBackground(shown.size()).convertToFormat(QImage::Format_RGB32);

    if (const QByteArray file = qgetenv("QUILLON_LAUNCHER_SCREENSHOT"); !file.isEmpty()) {
        shown.save(QString::fromLocal8Bit(file));
    }
    QCOMPARE(shown, picture);
    // The artwork really is there: the button face differs from the backdrop beside it.
    QVERIFY(picture.pixel(kInstall32Area.center().x(), kInstall32Area.top() + 3) !=
            picture.pixel(kInstall32Area.center().x(), kInstall32Area.top() - 6));
}

void LauncherTest::programFolderKeepsOneTrailingSeparator() {
    const auto ignore = [](const QString &) { return true; };
    QCOMPARE(InstallerStarter(QStringLiteral("/media/disc"), ignore).programFolder(),
             QStringLiteral("/media/disc/"));
    QCOMPARE(
        InstallerStarter(QStringLiteral("/media/disc/"), ignore).installerPath(Installer::Bit64),
        QStringLiteral("/media/disc/X64/setup.exe"));
}

QTEST_MAIN(LauncherTest)
#include "launcher_test.moc"
