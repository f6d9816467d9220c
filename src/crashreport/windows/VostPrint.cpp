// Printing of report texts.
#include "crashreport/windows/VostPrint.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

namespace {

// Whole pixels per centimetre, rounded as the printer's sizes in millimetres give them.
int PixelsPerCentimetre(int pixels, int millimetres)
{
    return millimetres > 0 ? (pixels * 10 + millimetres / 2) / millimetres : 0;
}

QStringList ReportLines(const QString& text)
{
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = normalised.split(QChar('\n'));
    // A text ending in a line break has no further line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

TReportPageMetrics TReportPageMetrics::Of(QPrinter& printer)
{
    TReportPageMetrics metrics;
    metrics.Width = printer.width();
    metrics.Height = printer.height();
    metrics.WidthMM = printer.widthMM();
    metrics.HeightMM = printer.heightMM();
    const QRect paint = printer.pageLayout().paintRectPixels(printer.resolution());
    metrics.OffsetX = paint.left();
    metrics.OffsetY = paint.top();
    metrics.LogPixelsY = printer.logicalDpiY();
    return metrics;
}

TReportLayout TReportLayout::Of(const TReportPageMetrics& m)
{
    TReportLayout layout;
    const int vertical = PixelsPerCentimetre(m.Height, m.HeightMM);
    const int horizontal = PixelsPerCentimetre(m.Width, m.WidthMM);
    layout.Top = vertical - m.OffsetY;
    layout.Left = (m.WidthMM > 0 ? (m.Width * 20 + m.WidthMM / 2) / m.WidthMM : 0) - m.OffsetX;
    layout.TextWidth = m.Width + m.OffsetX - layout.Left - horizontal;
    layout.UsableHeight = m.Height - 2 * layout.Top;
    return layout;
}

int PrintReportPages(QPainter& painter, const TReportPageMetrics& metrics, const QString& text,
    const std::function<void()>& newPage)
{
    const TReportLayout layout = TReportLayout::Of(metrics);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(std::max(1, metrics.LogPixelsY * 8 / 72));
    font.setWeight(QFont::Normal);
    painter.save();
    painter.setFont(font);
    const int width = std::max(1, layout.TextWidth);
    const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    int pages = 1;
    int y = layout.Top;
    for (QString line : ReportLines(text)) {
        if (line.isEmpty())
            line = QStringLiteral(" ");
        const QRect needed = painter.boundingRect(QRect(0, 0, width, 0x3FFFFFFF), flags, line);
        if (y + needed.height() > layout.UsableHeight && y > layout.Top) {
            newPage();
            ++pages;
            y = layout.Top;
        }
        QRect drawn;
        painter.drawText(QRect(layout.Left, y, width, needed.height()), flags, line, &drawn);
        y += std::max(needed.height(), drawn.height());
    }
    painter.restore();
    return pages;
}

bool PrintReportTextTo(QPrinter& printer, const QString& text, const QString& documentName)
{
    printer.setDocName(documentName);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const TReportPageMetrics metrics = TReportPageMetrics::Of(printer);
    PrintReportPages(painter, metrics, text, [&printer] { printer.newPage(); });
    return painter.end();
}

int PrintReportText(const QString& text, QWidget* owner, const QString& documentName)
{
    try {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dialog(&printer, owner);
        // Print to file stays offered: a machine without a print server has nothing else.
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
        dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
        if (dialog.exec() != QDialog::Accepted)
            return 0;
        PrintReportTextTo(printer, text, documentName);
    } catch (...) {
        // Printing a report never raises into the program.
    }
    return 0;
}
