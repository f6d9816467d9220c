// The system information window.
#include "app/windows/fSysInfo.h"

#include "app/windowbase/uDialogs.h"
#include "app/logic/uExcept.h"
#include "core/uLocations.h"
#include "crashreport/logic/VostBugReport.h"
#include "crashreport/windows/VostPrint.h"
#include "crashreport/windows/VostProgressPopup.h"
#include "crashreport/logic/VostThreads.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// The crash reporter's own composer, run in the GUI thread for the calling thread alone.
class TProgramReportSource : public TReportSource {
public:
    bool ThreadListOption() const override { return CrashReportSettings.ListAllThreads; }
    void SetThreadListOption(bool on) override { CrashReportSettings.ListAllThreads = on; }
    QString ComposeBugReport() override
    {
        return ComposeProgramReport(
            [](const TComposeRequest& request, std::string& report) { ::ComposeBugReport(request, report); });
    }
    void PrintReportText(const QString& text, QWidget* owner) override { ::PrintReportText(text, owner); }
};

} // namespace

QString ComposeProgramReport(const std::function<void(const TComposeRequest&, std::string&)>& compose)
{
    TProgressPopup popup;
    TComposeRequest request;
    request.CrashedThreadId = static_cast<uint32_t>(CurrentThreadId());
    request.Showing = true;
    request.ProgressSink = &popup;
    std::string report;
    compose(request, report);
    popup.Close();
    return QString::fromStdString(report);
}

TReportSource& ProgramReportSource()
{
    static TProgramReportSource source;
    return source;
}

QString TfmSysInfo::ComposeText(TReportSource& source)
{
    const TThreadListOff threadListOff(source);
    QString text = source.ComposeBugReport();
    AddSettingsToBugReport(text);
    return text;
}

TfmSysInfo::TfmSysInfo(TReportSource& source, QWidget* owner)
    : TTarvellModalForm(owner)
    , FSource(source)
{
    setObjectName(QStringLiteral("TfmSysInfo"));
    resize(640, 480);
    QString text = ComposeText(source);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    acSave = ToolBar1->addAction(QString());
    acPrint = ToolBar1->addAction(QString());
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setPlainText(text.replace(QLatin1String("\r\n"), QLatin1String("\n")));
    paBottom = new QWidget(this);
    paBottom->setFixedHeight(40);
    paBottom->installEventFilter(this);
    buTerug = new QPushButton(paBottom);
    buTerug->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ToolBar1);
    layout->addWidget(Memo1, 1);
    layout->addWidget(paBottom);
    connect(acSave, &QAction::triggered, this, [this] { RunCommand(this, [this] { acSaveExecute(); }); });
    connect(acPrint, &QAction::triggered, this, [this] { RunCommand(this, [this] { acPrintExecute(); }); });
    connect(buTerug, &QPushButton::clicked, this, &QDialog::accept);
    Retranslate();
}

void TfmSysInfo::Retranslate()
{
    setWindowTitle(tr("Tarvell System Info..."));
    acSave->setText(tr("&Save"));
    acPrint->setText(tr("&Print"));
    buTerug->setText(tr("OK"));
    buTerug->adjustSize();
}

bool TfmSysInfo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == paBottom && event->type() == QEvent::Resize)
        buTerug->move((paBottom->width() - buTerug->width()) / 2, (paBottom->height() - buTerug->height()) / 2);
    return TTarvellModalForm::eventFilter(watched, event);
}

void TfmSysInfo::acSaveExecute()
{
    TOpenFileRequest request;
    request.Title = tr("Save system info...");
    request.NameFilters = QStringList { tr("Textfiles (*.txt)") };
    request.FilterSuffixes = QStringList { QStringLiteral("txt") };
    request.DefaultSuffix = QStringLiteral("txt");
    if (!GetPrompt().SaveFileDialog(this, request) || request.Files.isEmpty())
        return;
    QString bytes;
    for (const QString& line : Memo1->toPlainText().split(QChar('\n')))
        bytes += line + QLatin1String("\r\n");
    SaveBytesToFile(request.Files.first(), bytes.toUtf8().toStdString());
}

void TfmSysInfo::acPrintExecute()
{
    FSource.PrintReportText(Memo1->toPlainText(), this);
}
