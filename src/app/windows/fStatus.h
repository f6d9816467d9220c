// The update status window: shows the rows of an update run with their icons, texts and bars,
// the overall progress and the summary, and answers the run's questions; and the routines that
// start a run.
#pragma once

#include "app/windowbase/uTarvellForm.h"
#include "app/windows/uStatusRowsModel.h"
#include "sites/uUpdateRun.h"

#include <QStyledItemDelegate>
#include <QTimer>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;
class TUpdateItems;

// Paints a status row as the run shows it: the picture, 52 pixels wide and centred, on the left;
// the caption, the target and the status, each one line cut with "..." to the room it gets; the
// row's bar below them. Every row is as high as the others; the tool tip over a text is the whole
// text, as plain text.
class TStatusRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    struct TLayout {
        QRect Icon, Caption, Target, Status, Bar;
    };
    static TLayout Layout(const QRect& row, const QFontMetrics& metrics);
    static int RowHeight(const QFontMetrics& metrics);
    // The text as its line shows it: on one line, cut to width.
    static QString ShownLine(const QString& text, const QFontMetrics& metrics, int width);
    // The tool tip over the point of the row: the caption's or target's whole text, or a failed
    // row's status; empty elsewhere.
    static QString ToolTipAt(const QModelIndex& index, const TLayout& layout, const QPoint& point);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
        const QModelIndex& index) override;
};

class TfmStatus : public TTarvellModalForm, private TUpdateRunProgress, private TUpdateRunHost {
    Q_OBJECT
public:
    explicit TfmStatus(QWidget* owner = nullptr, bool compact = false);
    ~TfmStatus() override;

    // Keeps the list (not owned) and adds a site row ahead of the first item of each site.
    void SetItems(TUpdateItems& items);
    void SetSilent(bool silent);
    bool Silent() const { return FRun.Silent(); }
    const TUpdateRun& Run() const { return FRun; }

    // The run; the first tick of Timer1 calls it.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;
    void Retranslate() override;

private:
    friend class TfmStatusTestAccess;

    void CloseClick();

    // TUpdateRunProgress
    void RowChanged(int row) override;
    void RowStarted(int row) override;
    void TotalChanged() override;
    void ProcessEvents() override;
    // TUpdateRunHost
    TOverwriteAnswer Ask(const QString& message) override;
    bool AskContinue(const QString& message, bool& continueOnErrors) override;
    void ShowWarning(const QString& message) override;
    bool StartProgram(const QString& program, const QStringList& arguments) override;
    bool OpenDocument(const QString& fileName) override;

    TUpdateRun FRun;
    TStatusRowsModel* FRowsModel = nullptr;

    QTreeView* FScrollBox = nullptr;
    QLabel* FTotal = nullptr;
    QProgressBar* FMain = nullptr;
    QPushButton* FClose = nullptr;
    QCheckBox* FAutoClose = nullptr;
    QTimer FTimer1;
};

// Opens the status window over the items and runs them; the window's size is kept in the
// settings ("StatusTrayWidth/Height" when compact, else "StatusWidth/Height"). While a run is
// under way another is refused: runs never nest.
void RunAutoUpdate(QWidget* owner, bool compact, TUpdateItems& items, bool silent);
// The items of one profile, sorted by site, in the normal window.
void RunAutoUpdateProfile(QWidget* owner, const QString& profileName);
void RunAutoUpdateProfile(QWidget* owner, int profileIndex);
// The items of all profiles in profile order, sorted by site.
void RunAutoUpdateAll(QWidget* owner, bool compact, bool silent);
// The items of the named profiles (each once, however often named), sorted by site.
void RunAutoUpdateProfiles(QWidget* owner, const QStringList& profileNames, bool compact, bool silent);
