// The screenshot program runs offscreen, writes every image of the
// documentation and finds no interface text left untranslated in English.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

class TestScreenshots : public QObject
{
    Q_OBJECT
private slots:
    void writesEveryPage_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::newRow("zh") << "zh";
        QTest::newRow("en") << "en";
    }
    void writesEveryPage()
    {
        QFETCH(QString, lang);
        QTemporaryDir out;
        QVERIFY(out.isValid());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(ARQ_SCREENSHOTS_PATH, {"--lang", lang, "--out", out.path()});
        QVERIFY(p.waitForFinished(60000));
        const QString output = QString::fromUtf8(p.readAll());
        QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0, qPrintable(output));

        const QStringList pages{"main-window", "system-settings", "channel-config", "acquisition-devices",
                                "warning-log", "report", "calibration", "acquisition-mode", "acquisition-channels"};
        QCOMPARE(QDir(out.path()).entryList({"*.png"}, QDir::Files).size(), pages.size());
        for (const QString& page : pages) {
            QImage image(out.filePath(page + ".png"));
            QVERIFY2(!image.isNull(), qPrintable(page));
            QVERIFY2(image.width() >= 200 && image.height() >= 200, qPrintable(page));
            // A page that drew nothing is one or two colours; a real one has text and icons.
            QSet<QRgb> colours;
            for (int y = 0; y < image.height() && colours.size() < 64; y += 3)
                for (int x = 0; x < image.width() && colours.size() < 64; x += 3)
                    colours.insert(image.pixel(x, y));
            QVERIFY2(colours.size() >= 16, qPrintable(page));
        }
    }

    void refusesBadArguments()
    {
        QProcess p;
        p.start(ARQ_SCREENSHOTS_PATH, {"--lang", "fr", "--out", QDir::tempPath()});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
