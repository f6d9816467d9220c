// Printing of report texts to a PDF printer: pages, page breaks and the left margin.
#include "crashreport/windows/VostPrint.h"
#include "support/QtWarningGuard.h"

#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestVostPrint : public QObject {
    Q_OBJECT
private slots:
    void longTextBreaksIntoPages_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("breakText");
        QTest::newRow("text lines, CR LF") << QStringLiteral("date/time : 2026-12-10 report line") << QStringLiteral("\r\n");
        // Empty lines take one line's height each.
        QTest::newRow("empty lines, LF") << QString() << QStringLiteral("\n");
    }
    void longTextBreaksIntoPages()
    {
        QFETCH(QString, line);
        QFETCH(QString, breakText);
        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(dir.filePath(QStringLiteral("report.pdf")));
        const int lines = 400;
        QString text;
        for (int i = 0; i < lines; ++i)
            text += (line.isEmpty() ? QString() : line + QString::number(i)) + breakText;
        QVERIFY(PrintReportTextTo(printer, text, QStringLiteral("Print")));

        QFile pdf(printer.outputFileName());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QByteArray bytes = pdf.readAll();
        const int pages = int(QString::fromLatin1(bytes).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
        // As many lines on a page as fit between the top margin and the usable height.
        const TReportPageMetrics metrics = TReportPageMetrics::Of(printer);
        const TReportLayout layout = TReportLayout::Of(metrics);
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(metrics.LogPixelsY * 8 / 72);
        const int lineHeight = QFontMetrics(font, &printer).height();
        const int perPage = (layout.UsableHeight - layout.Top) / lineHeight;
        QVERIFY(perPage > 10);
        QCOMPARE(pages, (lines + perPage - 1) / perPage);
        QVERIFY(pages > 1);
        // The document is named after the caption given, as the title of the file.
        QVERIFY(bytes.contains(QByteArray("/Title (\xfe\xff\x00P\x00r\x00i\x00n\x00t)", 21)));
    }

    // Two centimetres from the paper's left edge, one from its top.
    void marginsFromThePaperEdge()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        const TReportPageMetrics metrics = TReportPageMetrics::Of(printer);
        const TReportLayout layout = TReportLayout::Of(metrics);
        const double pixelsPerCm = metrics.Width * 10.0 / metrics.WidthMM;
        QVERIFY(metrics.OffsetX > 0);
        QCOMPARE(qRound((layout.Left + metrics.OffsetX) / pixelsPerCm), 2);
        QCOMPARE(qRound((layout.Top + metrics.OffsetY) / pixelsPerCm), 1);
        QCOMPARE(qRound((metrics.Width + metrics.OffsetX - layout.Left - layout.TextWidth) / pixelsPerCm), 1);

        // At screen resolution the page fits a picture: the first inked column and row.
        QPrinter screenPrinter(QPrinter::ScreenResolution);
        screenPrinter.setOutputFormat(QPrinter::PdfFormat);
        screenPrinter.setPageSize(QPageSize(QPageSize::A4));
        const TReportPageMetrics screen = TReportPageMetrics::Of(screenPrinter);
        const TReportLayout screenLayout = TReportLayout::Of(screen);
        QImage page(screen.Width, screen.Height, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        const int pages = PrintReportPages(painter, screen, QStringLiteral("MMMM\r\nsecond"), [] { QFAIL("no second page"); });
        painter.end();
        QCOMPARE(pages, 1);
        int left = page.width(), top = page.height();
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128) {
                    left = std::min(left, x);
                    top = std::min(top, y);
                }
        QVERIFY2(left >= screenLayout.Left && left <= screenLayout.Left + 3, qPrintable(QStringLiteral("%1 %2").arg(left).arg(screenLayout.Left)));
        QVERIFY2(top >= screenLayout.Top && top <= screenLayout.Top + 12, qPrintable(QStringLiteral("%1 %2").arg(top).arg(screenLayout.Top)));
    }

    // A line longer than the text width wraps instead of running into the right margin.
    void longLinesWrap()
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const TReportPageMetrics metrics = TReportPageMetrics::Of(printer);
        const TReportLayout layout = TReportLayout::Of(metrics);
        QImage page(metrics.Width / 4, metrics.Height / 4, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.scale(0.25, 0.25);
        PrintReportPages(painter, metrics, QStringLiteral("word ").repeated(400), [] {});
        painter.end();
        int right = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (qGray(page.pixel(x, y)) < 128)
                    right = std::max(right, x);
        QVERIFY(right > 0);
        QVERIFY(right * 4 <= layout.Left + layout.TextWidth);
    }
};

TARVELL_QTEST_MAIN(TestVostPrint)
#include "tst_VostPrint.moc"
