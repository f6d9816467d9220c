// The dialog that takes the location of a new site catalogue.
#include "app/windows/fAddSite.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfmAddSite::TfmAddSite(QWidget* owner)
    : TTarvellModalForm(owner)
{
    setObjectName(QStringLiteral("fmAddSite"));
    auto* layout = new QGridLayout(this);
    FCaption = new QLabel(this);
    FEdit = new QLineEdit(this);
    FEdit->setObjectName(QStringLiteral("Edit1"));
    FBrowse = new QPushButton(QStringLiteral("..."), this);
    FBrowse->setObjectName(QStringLiteral("BitBtn1"));
    FExplanation = new QLabel(this);
    FExplanation->setWordWrap(true);
    FOk = new QPushButton(this);
    FOk->setObjectName(QStringLiteral("Button1"));
    FOk->setDefault(true);
    FCancel = new QPushButton(this);
    FCancel->setObjectName(QStringLiteral("Button2"));
    layout->addWidget(FCaption, 0, 0, 1, 2);
    layout->addWidget(FEdit, 1, 0);
    layout->addWidget(FBrowse, 1, 1);
    layout->addWidget(FExplanation, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(FOk);
    buttons->addWidget(FCancel);
    layout->addLayout(buttons, 3, 0, 1, 2);
    connect(FBrowse, &QPushButton::clicked, this, [this] { RunCommand(this, [this] { BitBtn1Click(); }); });
    connect(FOk, &QPushButton::clicked, this, [this] { RunCommand(this, [this] { Button1Click(); }); });
    connect(FCancel, &QPushButton::clicked, this, &QDialog::reject);
    resize(460, 150);
    Retranslate();
}

void TfmAddSite::Retranslate()
{
    setWindowTitle(tr("Add Poi Site..."));
    FCaption->setText(tr("Url or filename:"));
    FExplanation->setText(tr("Enter the url of the poi site xml. You can also add an xml file on your computer, e.g. "
                             "to update poi files from your desktop to your navigation device."));
    FOk->setText(tr("OK"));
    FCancel->setText(tr("Cancel"));
}

QString TfmAddSite::Location() const
{
    return FEdit->text();
}

void TfmAddSite::SetLocation(const QString& location)
{
    FEdit->setText(location);
}

void TfmAddSite::CheckLocation(const QString& location)
{
    const bool file = IsFilePath(location);
    if (!file && !IsHttpUrl(location))
        throw EUserError(tr("Invalid location specified, the xml location must be prefixed with http:// for internet "
                            "locations or file:// for local files"));
    if (file) {
        const QString path = StripFilePrefix(location);
        if (!QFileInfo(path).isFile())
            throw EUserError(tr("File %1 not found").arg(path));
        return;
    }
    const QString rest = StripHttpPrefix(location);
    if (rest.size() < 3)
        throw EUserError(tr("Invalid url %1").arg(rest));
}

void TfmAddSite::BitBtn1Click()
{
    TOpenFileRequest request;
    request.Title = tr("Open poi site xml file...");
    request.NameFilters = QStringList { tr("Xml Files (*.xml)") };
    request.DefaultSuffix = QStringLiteral("XML");
    if (IsFilePath(Location()))
        request.InitialDir = StripFilePrefix(Location());
    if (GetPrompt().OpenFileDialog(this, request) && !request.Files.isEmpty())
        SetLocation(QString::fromLatin1(FilePrefix.data()) + request.Files.first());
}

void TfmAddSite::Button1Click()
{
    CheckLocation(Location());
    accept();
}
