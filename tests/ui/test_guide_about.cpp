// The windows of the menus: how they take turns with the main window, the
// guide closing when the program's focus moves, its links and pictures, the
// About window with and without its music and sound device, and the texts of
// the sound library's error codes.
#include "../platform/desktop_testkit.h"
#include "app/frm_main.h"
#include "settings/frm_extensions.h"
#include "ui/fmod_module.h"
#include "ui/frm_about.h"
#include "ui/frm_help.h"

#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include <memory>

using namespace quarrix;

class GuideAboutTest : public QObject {
    Q_OBJECT

private:
    struct Doubles {
        testkit::TemporaryAppDir appDir;
        testkit::RecordingMessageBoxes boxes;
        testkit::EndRecorder end;
    };
    std::unique_ptr<Doubles> d_;

    void copyAssets(const QStringList& patterns) const
    {
        const QDir assets(QStringLiteral(QUARRIX_ASSETS_DIR));
        for (const QString& name : assets.entryList(patterns, QDir::Files))
            QVERIFY(QFile::copy(assets.filePath(name), d_->appDir.filePath(name)));
    }

    QStringList messages() const
    {
        QStringList texts;
        for (const platform::MessageBoxRequest& box : d_->boxes.shown)
            texts.append(box.text);
        return texts;
    }

private slots:
    void init()
    {
        d_ = std::make_unique<Doubles>();
    }

    void cleanup()
    {
        QVERIFY(d_->end.exitCodes.isEmpty());
        d_.reset();
    }

    void soundErrorTexts_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "No errors";
        QTest::newRow("12 keeps its trailing blank") << 12 << "Not enough memory ";
        QTest::newRow("19, the last") << 19 << "Required Mediaplayer codec is not installed";
        QTest::newRow("20") << 20 << "Unknown error";
        QTest::newRow("-1") << -1 << "Unknown error";
    }

    void soundErrorTexts()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(FMod::GetSoundErrorText(code), text);
    }

    void menuWindowsOpenWhereTheMainWindowIs_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("takesItsPlace");
        QTest::newRow("File types") << "type" << true;
        QTest::newRow("About") << "about" << true;
        QTest::newRow("User guide") << "guide" << false;
    }

    // A window that takes the main window's place hides it, and gives it back
    // at its own position when closed; the guide leaves it where it is.
    void menuWindowsOpenWhereTheMainWindowIs()
    {
        QFETCH(QString, item);
        QFETCH(bool, takesItsPlace);
        copyAssets({QStringLiteral("*.mp3"), QStringLiteral("help.html")});
        frmMain main;
        main.show();
        main.move(40, 30);
        QAction* action = item == u"type" ? main.mnuType : item == u"about" ? main.mnuAbout : main.mnuGuide;
        QWidget* window = item == u"type"    ? static_cast<QWidget*>(&frmExtensions::instance())
                          : item == u"about" ? static_cast<QWidget*>(&frmAbout::instance())
                                             : &frmHelp::instance();
        action->trigger();
        QVERIFY(window->isVisible());
        QCOMPARE(window->pos(), QPoint(40, 30));
        QCOMPARE(main.isVisible(), !takesItsPlace);

        window->move(200, 120);
        window->close();
        QVERIFY(!window->isVisible());
        QVERIFY(main.isVisible());
        QCOMPARE(main.pos(), takesItsPlace ? QPoint(200, 120) : QPoint(40, 30));
        QVERIFY(d_->boxes.shown.isEmpty());
    }

    void guideClosesOnlyWhenAnotherWindowOfTheProgramBecomesActive()
    {
        copyAssets({QStringLiteral("help.html"), QStringLiteral("*.png")});
        frmMain main;
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        main.mnuGuide->trigger();
        frmHelp& guide = frmHelp::instance();
        QVERIFY(QTest::qWaitForWindowActive(&guide));
        QScrollBar* scroll = guide.WebBrowser1->verticalScrollBar();
        QVERIFY(scroll->maximum() > 0);
        scroll->setValue(scroll->maximum());

        // What the window system reports when another application takes the focus.
        emit qGuiApp->focusWindowChanged(nullptr);
        QVERIFY(guide.isVisible());
        main.activateWindow();
        QTRY_VERIFY(!guide.isVisible());

        main.mnuGuide->trigger();
        QCOMPARE(scroll->value(), 0);  // each opening starts at the top
        guide.Command1->click();
        QVERIFY(!guide.isVisible());
    }

    // Every link inside the guide leads to a section, and every picture loads.
    void guideLinksReachTheirSectionsAndItsPicturesLoad()
    {
        copyAssets({QStringLiteral("help.html"), QStringLiteral("*.png")});
        frmHelp guide;
        guide.Load();
        QSet<QString> anchors;
        QStringList links;
        int pictures = 0;
        const QTextDocument* page = guide.WebBrowser1->document();
        for (QTextBlock block = page->begin(); block.isValid(); block = block.next()) {
            for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
                const QTextCharFormat format = fragment.fragment().charFormat();
                for (const QString& name : format.anchorNames())
                    anchors.insert(name);
                if (format.isAnchor() && !format.anchorHref().isEmpty())
                    links.append(format.anchorHref());
                if (format.isImageFormat()) {
                    const QUrl picture(format.toImageFormat().name());
                    const QVariant bytes =
                        guide.WebBrowser1->loadResource(QTextDocument::ImageResource, picture);
                    QVERIFY2(!QImage::fromData(bytes.toByteArray()).isNull(),
                             qPrintable(picture.toString()));
                    ++pictures;
                }
            }
        }
        QVERIFY(pictures >= 3);
        QVERIFY(links.size() >= 10);
        for (const QString& link : links)
            QVERIFY2(link.startsWith(u'#') && anchors.contains(link.mid(1)), qPrintable(link));
    }

    void aboutOpensWithOrWithoutSound_data()
    {
        QTest::addColumn<bool>("media");  // BH.jpg and the music beside the program
        QTest::addColumn<QByteArray>("driver");
        QTest::addColumn<QString>("message");
        QTest::newRow("picture and music") << true << QByteArray("dummy") << QString();
        QTest::newRow("no sound device")
            << true << QByteArray("no-such-driver")
            << "An error occured initializing fmod\r\n" + FMod::GetSoundErrorText(fsound::kErrOutputDevice);
        QTest::newRow("no picture, no music")
            << false << QByteArray("dummy")
            << "Error while opening file\r\n" + FMod::GetSoundErrorText(fsound::kErrFileNotFound);
    }

    void aboutOpensWithOrWithoutSound()
    {
        QFETCH(bool, media);
        QFETCH(QByteArray, driver);
        QFETCH(QString, message);
        if (media)
            copyAssets({QStringLiteral("BH.jpg"), QStringLiteral("*.mp3")});
        frmMain main;
        main.show();
        qputenv("SDL_AUDIODRIVER", driver);
        main.mnuAbout->trigger();
        qputenv("SDL_AUDIODRIVER", "dummy");
        frmAbout& about = frmAbout::instance();
        QVERIFY(about.isVisible());
        QCOMPARE(messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(fsound::CurrentActivity().playing, message.isEmpty());

        QImage expected(about.size(), QImage::Format_RGB32);
        expected.fill(Qt::black);
        if (media)
            QPainter(&expected).drawImage(0, 0, QImage(d_->appDir.filePath(QStringLiteral("BH.jpg"))));
        QCOMPARE(about.grab().toImage().convertToFormat(QImage::Format_RGB32), expected);

        QTest::mouseClick(&about, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QVERIFY(main.isVisible());
        QVERIFY(!fsound::CurrentActivity().started);
    }

    void openingAboutTwiceStartsAndStopsTheLibraryTwice()
    {
        copyAssets({QStringLiteral("*.mp3")});
        frmMain main;
        main.show();
        const fsound::Activity before = fsound::CurrentActivity();
        for (int opening = 0; opening < 2; ++opening) {
            main.mnuAbout->trigger();
            QVERIFY(fsound::CurrentActivity().playing);
            frmAbout::instance().close();
            QCOMPARE(fsound::CurrentActivity().openStreams, 0);
        }
        const fsound::Activity after = fsound::CurrentActivity();
        QCOMPARE(after.starts - before.starts, 2);
        QCOMPARE(after.shutdowns - before.shutdowns, 2);
        QVERIFY(d_->boxes.shown.isEmpty());
    }
};

QTEST_MAIN(GuideAboutTest)
#include "test_guide_about.moc"
