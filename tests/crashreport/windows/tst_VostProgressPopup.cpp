// The tracing progress window: when the tracer's progress makes it appear (fake clock), where it
// goes, how it looks, when it redraws; the helper process's handling of progress messages.
#include "crashreport/windows/VostExceptBox.h"
#include "crashreport/windows/VostProgressPopup.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QImage>
#include <QTest>

#include <sys/socket.h>
#include <unistd.h>

namespace {

class TSocketPair {
public:
    TSocketPair() { QVERIFY(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, Fd) == 0); }
    ~TSocketPair()
    {
        CloseWriter();
        ::close(Fd[0]);
    }
    void Send(uint32_t type, std::string_view payload) { QVERIFY(WriteBoxMessage(Fd[1], type, payload)); }
    void SendRaw(const std::string& bytes)
    {
        QCOMPARE(::write(Fd[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void CloseWriter()
    {
        if (Fd[1] >= 0)
            ::close(Fd[1]);
        Fd[1] = -1;
    }
    int Fd[2] = { -1, -1 };
};

std::string Progress(uint32_t permille, std::string_view format = "%1%")
{
    return EncodeProgressMessage(permille, format);
}

} // namespace

class TestProgressPopup : public QObject {
    Q_OBJECT
private slots:
    void AppearsOnlyWhenSlowAndLessThanHalfDone_data()
    {
        QTest::addColumn<uint32_t>("elapsedMs");
        QTest::addColumn<uint32_t>("firstPermille");
        QTest::addColumn<bool>("shown");
        QTest::newRow("fast") << 700u << 200u << false;
        QTest::newRow("exactly 750 ms") << 750u << 200u << false;
        QTest::newRow("slow") << 751u << 200u << true;
        QTest::newRow("slow but half done") << 2000u << 1000u << false;
    }
    void AppearsOnlyWhenSlowAndLessThanHalfDone()
    {
        QFETCH(uint32_t, elapsedMs);
        QFETCH(uint32_t, firstPermille);
        QFETCH(bool, shown);
        TProgressPopup popup;
        uint32_t now = 5000;
        {
            TTraceProgress progress(&popup, [&now] { return now; });
            progress.AddWork(1000);
            progress.AddWork(1000);
            now += elapsedMs;
            progress.SetPosition(firstPermille);
            QCOMPARE(popup.isVisible(), shown);
            if (shown) {
                QCOMPARE(popup.Position(), 0u);
                // The window counts from where it appeared: 200 of 2000 is its zero.
                progress.SetPosition(650);
                QCOMPARE(popup.Position(), 250u);
                progress.NextEntry();
                QCOMPARE(popup.Position(), 444u);
                progress.SetPosition(1000);
                QCOMPARE(popup.Position(), 1000u);
                QCOMPARE(popup.PercentText(), QStringLiteral("100%"));
            }
        }
        // Done tracing: the window goes.
        QVERIFY(!popup.isVisible());
    }

    void Placement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("1024x768") << QRect(0, 0, 1024, 768) << QRect(256, 372, 512, 23);
        QTest::newRow("second screen") << QRect(1920, 0, 1280, 1024) << QRect(2240, 500, 640, 23);
        QTest::newRow("odd sizes") << QRect(0, 0, 1365, 767) << QRect(341, 372, 682, 23);
    }
    void Placement()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, expected);
        QCOMPARE(TProgressPopup::PlaceOn(screen), expected);
    }

    void ShownAsAFramelessTopmostPopup()
    {
        TProgressPopup popup;
        popup.Show(0);
        QVERIFY(popup.isVisible());
        QVERIFY(popup.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(popup.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(popup.height(), 23);
        QCOMPARE(popup.geometry(), TProgressPopup::PlaceOn(QGuiApplication::primaryScreen()->geometry()));
        popup.Close();
        QVERIFY(!popup.isVisible());
    }

    // Only a new split pixel or a new percentage redraws; a bar of 500 pixels moves one pixel
    // every 2 permille and its percentage every 10.
    void RedrawsOnlyOnChange()
    {
        TProgressPopup popup;
        popup.Show(0);
        popup.resize(508, 23);
        popup.Show(0);
        struct {
            uint32_t Permille;
            int Split;
            int Percent;
            bool Redraw;
        } const steps[]
            = { { 0, 4, 0, false }, { 1, 4, 0, false }, { 2, 5, 0, true }, { 3, 5, 0, false }, { 4, 6, 0, true },
                  { 5, 6, 1, true }, { 1000, 504, 100, true }, { 1000, 504, 100, false }, { 2000, 504, 100, false } };
        for (const auto& step : steps) {
            const int before = popup.Redraws();
            popup.Show(step.Permille);
            QCOMPARE(popup.SplitPixel(), step.Split);
            QCOMPARE(popup.Percent(), step.Percent);
            QCOMPARE(popup.Redraws() - before, step.Redraw ? 1 : 0);
        }
    }

    void Painting()
    {
        TProgressPopup popup;
        popup.Show(500);
        const QImage image = popup.grab().toImage();
        const QPalette& colours = popup.palette();
        const auto pixel = [&image](int x, int y) { return image.pixel(x, y); };
        QCOMPARE(pixel(2, 2), qRgb(255, 255, 0));
        QCOMPARE(pixel(0, 0), colours.color(QPalette::Light).rgb());
        QCOMPARE(pixel(image.width() - 1, 10), colours.color(QPalette::Dark).rgb());
        QCOMPARE(pixel(image.width() / 2, image.height() - 1), colours.color(QPalette::Dark).rgb());
        QCOMPARE(pixel(10, 10), colours.color(QPalette::ButtonText).rgb());
        QCOMPARE(pixel(popup.SplitPixel() + 5, 10), colours.color(QPalette::Button).rgb());
        QCOMPARE(popup.PercentText(), QStringLiteral("50%"));
        popup.SetPercentFormat(QStringLiteral("%1 %"));
        QCOMPARE(popup.PercentText(), QStringLiteral("50 %"));
        popup.SetPercentFormat(QStringLiteral("no number"));
        QCOMPARE(popup.PercentText(), QStringLiteral("50 %"));
    }

    void ProgressPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<uint32_t>("permille");
        QTest::newRow("plain") << QByteArray::fromStdString(Progress(250)) << true << 250u;
        QTest::newRow("German") << QByteArray::fromStdString(Progress(1000, "%1 %")) << true << 1000u;
        QTest::newRow("empty") << QByteArray() << false << 0u;
        QTest::newRow("short") << QByteArray("\x01\x00\x00", 3) << false << 0u;
        QTest::newRow("above 1000") << QByteArray::fromStdString(Progress(1001)) << false << 0u;
        QTest::newRow("no placeholder") << QByteArray::fromStdString(Progress(5, "%")) << false << 0u;
        QTest::newRow("format too long") << (QByteArray::fromStdString(Progress(5))
            + QByteArray(int(MaxProgressFormat), 'x'))
                                         << false << 0u;
    }
    void ProgressPayloads()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, valid);
        QFETCH(uint32_t, permille);
        uint32_t value = 7;
        std::string format;
        QCOMPARE(DecodeProgressMessage(payload.toStdString(), value, format), valid);
        if (valid)
            QCOMPARE(value, permille);
    }

    // The helper's wait for the box: progress moves the popup, malformed messages change nothing,
    // the box's data ends the wait and the popup.
    void HelperServesProgressUntilTheBox()
    {
        TSocketPair pipe;
        TBoxData sent;
        sent.Title = "Tarvell";
        sent.Report = "the report";
        pipe.Send(bmProgress, Progress(0, "%1 %"));
        pipe.Send(bmProgress, Progress(300, "%1 %"));
        pipe.Send(bmProgress, Progress(5000));
        pipe.Send(bmProgress, "xy");
        pipe.Send(bmFreezeOver, {});
        pipe.Send(99, "unknown");
        pipe.Send(bmBoxData, EncodeBoxData(sent));
        TProgressPopup popup;
        TBoxData data;
        QVERIFY(ServeProgressMessages(pipe.Fd[0], popup, data, 5000));
        QCOMPARE(data.Report, sent.Report);
        QCOMPARE(popup.Position(), 300u);
        QCOMPARE(popup.PercentText(), QStringLiteral("30 %"));
        QVERIFY(!popup.isVisible());
    }

    void HelperGivesUp_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("the crashed process has gone") << 0;
        QTest::newRow("message above the cap") << 1;
        QTest::newRow("silence") << 2;
        QTest::newRow("damaged box data") << 3;
        QTest::newRow("message cut off") << 4;
    }
    void HelperGivesUp()
    {
        QFETCH(int, kind);
        TSocketPair pipe;
        pipe.Send(bmProgress, Progress(100));
        if (kind == 0) {
            pipe.Send(bmProgressDone, {});
            pipe.CloseWriter();
        } else if (kind == 1) {
            std::string head = EncodeBoxMessage(bmBoxData, {});
            head[4] = head[5] = head[6] = '\xFF';
            head[7] = '\x7F';
            pipe.SendRaw(head);
        } else if (kind == 3) {
            pipe.Send(bmBoxData, "not box data");
        } else if (kind == 4) {
            pipe.SendRaw(EncodeBoxMessage(bmProgress, Progress(1)).substr(0, 10));
            pipe.CloseWriter();
        }
        TProgressPopup popup;
        TBoxData data;
        QVERIFY(!ServeProgressMessages(pipe.Fd[0], popup, data, 300));
        QCOMPARE(popup.Position(), 100u);
        QVERIFY(!popup.isVisible());
    }
};

TARVELL_QTEST_MAIN(TestProgressPopup)
#include "tst_VostProgressPopup.moc"
