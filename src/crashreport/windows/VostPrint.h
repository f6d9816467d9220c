// Printing of report texts: the print dialog, then the text in the system's fixed-width font at
// 8 points with margins of 1 cm at the top, bottom and right and 2 cm on the left.
#pragma once

#include <QString>

#include <functional>

class QPainter;
class QPrinter;
class QWidget;

// A page as the printer describes it, in device pixels and millimetres.
struct TReportPageMetrics {
    int Width = 0; // printable area
    int Height = 0;
    int WidthMM = 0;
    int HeightMM = 0;
    int OffsetX = 0; // printable area from the paper's edge
    int OffsetY = 0;
    int LogPixelsY = 0; // pixels per inch, for the font size
    static TReportPageMetrics Of(QPrinter& printer);
};

// Where the text goes on each page, in device pixels from the printable area's origin.
struct TReportLayout {
    int Top = 0;
    int Left = 0;
    int TextWidth = 0;
    int UsableHeight = 0;
    static TReportLayout Of(const TReportPageMetrics& metrics);
};

// Draws text (lines split at CR LF or LF; an empty line takes one line's height) page by page on
// painter; newPage starts the next page. Returns the number of pages.
int PrintReportPages(QPainter& painter, const TReportPageMetrics& metrics, const QString& text,
    const std::function<void()>& newPage);

// Prints text on printer as a document named documentName; false when the printer could not be
// started.
bool PrintReportTextTo(QPrinter& printer, const QString& text, const QString& documentName);

// Shows the print dialog over owner and prints text; a cancel or any failure ends silently.
// Always returns 0.
int PrintReportText(const QString& text, QWidget* owner, const QString& documentName = QStringLiteral("Print"));
