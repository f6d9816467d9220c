// The coordinates calculator.
#include "app/windows/fCoordsCalculator.h"

#include "app/windowbase/uDialogs.h"
#include "model/uModel.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfmCoordsCalculator::TfmCoordsCalculator(QWidget* owner, bool converterOnly, const QString& caption)
    : TTarvellModalForm(owner)
    , FEntry(std::make_unique<TEntry>())
    , FConverterOnly(converterOnly)
    , FCaption(caption)
{
    setObjectName(QStringLiteral("TfmCoordsCalculator"));
    auto edit = [this](TEntryEdit which, const char* name, int width) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setFixedWidth(width);
        FEdits[which] = e;
        connect(e, &QLineEdit::editingFinished, this, [this, which] { RunCommand(this, [&] { ControlLeft(which); }); });
        e->installEventFilter(this);
        return e;
    };
    edLongitude = edit(TEntryEdit::Longitude, "edLongitude", 90);
    edLonDeg = edit(TEntryEdit::LonDeg, "edLonDeg", 40);
    edLonMin = edit(TEntryEdit::LonMin, "edLonMin", 32);
    edLonSec = edit(TEntryEdit::LonSec, "edLonSec", 32);
    edLatitude = edit(TEntryEdit::Latitude, "edLatitude", 90);
    edLatDeg = edit(TEntryEdit::LatDeg, "edLatDeg", 40);
    edLatMin = edit(TEntryEdit::LatMin, "edLatMin", 32);
    edLatSec = edit(TEntryEdit::LatSec, "edLatSec", 32);
    for (QLineEdit* whole : { edLonDeg, edLonMin, edLonSec, edLatDeg, edLatMin, edLatSec })
        whole->setValidator(new QIntValidator(0, 180, whole));
    auto sign = [this](TEntryEdit which, const char* name) {
        auto* button = new QPushButton(this);
        button->setObjectName(QLatin1String(name));
        button->setFixedWidth(32);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, which] { RunCommand(this, [&] { ControlLeft(which); }); });
        return button;
    };
    buLonSign = sign(TEntryEdit::LonSign, "buLonSign");
    buLatSign = sign(TEntryEdit::LatSign, "buLatSign");

    FLongitudeLabel = new QLabel(this);
    FLatitudeLabel = new QLabel(this);
    auto* grid = new QGridLayout;
    int column = 0;
    for (QWidget* w : { static_cast<QWidget*>(FLongitudeLabel), static_cast<QWidget*>(edLongitude),
             static_cast<QWidget*>(edLonDeg), static_cast<QWidget*>(edLonMin), static_cast<QWidget*>(edLonSec),
             static_cast<QWidget*>(buLonSign) })
        grid->addWidget(w, 0, column++);
    column = 0;
    for (QWidget* w : { static_cast<QWidget*>(FLatitudeLabel), static_cast<QWidget*>(edLatitude),
             static_cast<QWidget*>(edLatDeg), static_cast<QWidget*>(edLatMin), static_cast<QWidget*>(edLatSec),
             static_cast<QWidget*>(buLatSign) })
        grid->addWidget(w, 1, column++);

    buOK = new QPushButton(this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(!converterOnly);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    connect(buOK, &QPushButton::clicked, this, [this] { RunCommand(this, [this] { buOKClick(); }); });
    connect(buCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Without OK the Cancel button stands alone in the middle.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buOK);
    buttons->addWidget(buCancel);
    if (converterOnly)
        buttons->addStretch();
    buOK->setVisible(!converterOnly);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Retranslate();
    FillEdits();
}

TfmCoordsCalculator::~TfmCoordsCalculator()
{
    // Hiding a dialog that is still shown moves the focus out of its edits, after the edits'
    // map has gone: nothing is written back any more.
    for (const auto& item : FEdits) {
        item.second->disconnect(this);
        item.second->removeEventFilter(this);
    }
}

void TfmCoordsCalculator::Retranslate()
{
    setWindowTitle(FConverterOnly && !FCaption.isEmpty() ? FCaption : tr("Coordinates Calculator"));
    FLongitudeLabel->setText(tr("Longitude:"));
    FLatitudeLabel->setText(tr("Latitude:"));
    buOK->setText(tr("OK"));
    buCancel->setText(FConverterOnly ? tr("Close") : tr("Cancel"));
}

TEntryEditValues TfmCoordsCalculator::Values() const
{
    TEntryEditValues values;
    for (const auto& [which, edit] : FEdits)
        values.Text(which) = edit->text();
    values.LonSign = buLonSign->text();
    values.LatSign = buLatSign->text();
    return values;
}

void TfmCoordsCalculator::FillEdits()
{
    TEntryEditValues values;
    TEntryEditSync::FromEntry(FEntry.get(), values);
    for (const auto& [which, edit] : FEdits)
        if (edit->text() != values.Text(which))
            edit->setText(values.Text(which));
    buLonSign->setText(values.LonSign);
    buLatSign->setText(values.LatSign);
}

void TfmCoordsCalculator::ControlLeft(TEntryEdit edit)
{
    // Also when nothing was written: a value that does not read gives way to the POI's own.
    TEntryEditSync::ToEntry(FEntry.get(), edit, Values());
    FillEdits();
}

bool TfmCoordsCalculator::eventFilter(QObject* watched, QEvent* event)
{
    // The field does not report leaving it while its validator refuses the text (an emptied
    // minute field): the POI's value comes back all the same.
    if (event->type() == QEvent::FocusOut) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason && !edit->hasAcceptableInput())
            for (const auto& item : FEdits)
                if (item.second == edit) {
                    const TEntryEdit which = item.first;
                    RunCommand(this, [this, which] { ControlLeft(which); });
                }
    }
    return TTarvellModalForm::eventFilter(watched, event);
}

void TfmCoordsCalculator::buOKClick()
{
    // A value still being typed counts as left.
    for (const auto& [which, edit] : FEdits)
        if (edit->hasFocus())
            ControlLeft(which);
    buOK->setFocus();
    if (FEntry->GetLongitude() == 0 || FEntry->GetLatitude() == 0)
        throw EUserError(tr("Please enter the longitude and latitude"));
    accept();
}

void ShowCoordsCalculator(QWidget* owner, const QString& caption)
{
    TfmCoordsCalculator dialog(owner, true, caption);
    dialog.exec();
}
