// The calibration dialog.
#include "maps/fCalibrate.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "maps/fMapInternal.h"
#include "maps/uMap.h"
#include "maps/uMapInternal.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cmath>

namespace {

// What the colour box shows for each named colour.
struct TColorCaption {
    TInfColor Color;
    const char* Caption;
};
constexpr TColorCaption ColorCaptions[] = {
    { InfColor::clBlack, QT_TRANSLATE_NOOP("TfmCalibrate", "Black") },
    { InfColor::clMaroon, QT_TRANSLATE_NOOP("TfmCalibrate", "Maroon") },
    { InfColor::clGreen, QT_TRANSLATE_NOOP("TfmCalibrate", "Green") },
    { InfColor::clOlive, QT_TRANSLATE_NOOP("TfmCalibrate", "Olive") },
    { InfColor::clNavy, QT_TRANSLATE_NOOP("TfmCalibrate", "Navy") },
    { InfColor::clPurple, QT_TRANSLATE_NOOP("TfmCalibrate", "Purple") },
    { InfColor::clTeal, QT_TRANSLATE_NOOP("TfmCalibrate", "Teal") },
    { InfColor::clGray, QT_TRANSLATE_NOOP("TfmCalibrate", "Gray") },
    { InfColor::clSilver, QT_TRANSLATE_NOOP("TfmCalibrate", "Silver") },
    { InfColor::clRed, QT_TRANSLATE_NOOP("TfmCalibrate", "Red") },
    { InfColor::clLime, QT_TRANSLATE_NOOP("TfmCalibrate", "Lime") },
    { InfColor::clYellow, QT_TRANSLATE_NOOP("TfmCalibrate", "Yellow") },
    { InfColor::clBlue, QT_TRANSLATE_NOOP("TfmCalibrate", "Blue") },
    { InfColor::clFuchsia, QT_TRANSLATE_NOOP("TfmCalibrate", "Fuchsia") },
    { InfColor::clAqua, QT_TRANSLATE_NOOP("TfmCalibrate", "Aqua") },
    { InfColor::clWhite, QT_TRANSLATE_NOOP("TfmCalibrate", "White") },
    { InfColor::clBtnFace, QT_TRANSLATE_NOOP("TfmCalibrate", "Button face") },
    { InfColor::clWindow, QT_TRANSLATE_NOOP("TfmCalibrate", "Window") },
    { InfColor::clWindowText, QT_TRANSLATE_NOOP("TfmCalibrate", "Window text") },
    { InfColor::clHighlight, QT_TRANSLATE_NOOP("TfmCalibrate", "Highlight") },
    { InfColor::clHighlightText, QT_TRANSLATE_NOOP("TfmCalibrate", "Highlight text") },
    { InfColor::clBtnShadow, QT_TRANSLATE_NOOP("TfmCalibrate", "Button shadow") },
    { InfColor::clBtnText, QT_TRANSLATE_NOOP("TfmCalibrate", "Button text") },
    { InfColor::clInfoBk, QT_TRANSLATE_NOOP("TfmCalibrate", "Tool tip background") },
};

QColor ScreenColor(TInfColor color) { return InfColorToQColor(color, QApplication::palette()); }

QIcon Swatch(const QColor& color)
{
    QPixmap picture(16, 12);
    picture.fill(color);
    QPainter painter(&picture);
    painter.setPen(Qt::black);
    painter.drawRect(picture.rect().adjusted(0, 0, -1, -1));
    return QIcon(picture);
}

// The item of the custom colour: chosen with the colour dialog.
constexpr int CustomItem = 0;

} // namespace

TfmCalibrate::TfmCalibrate(TfmMapInternal& owner)
    : TTarvellModalForm(&owner)
    , FOwner(owner)
{
    setObjectName(QStringLiteral("fmCalibrate"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    FHeader = new QLabel(this);
    FHeader->setWordWrap(true);
    FHeader->setFixedWidth(360);
    layout->addWidget(FHeader);
    rbPoint1 = new QRadioButton(this);
    rbPoint1->setObjectName(QStringLiteral("rbPoint1"));
    rbPoint2 = new QRadioButton(this);
    rbPoint2->setObjectName(QStringLiteral("rbPoint2"));
    for (int point = 0; point < 2; ++point) {
        layout->addWidget(point == 0 ? rbPoint1 : rbPoint2);
        layout->addWidget(PointGroup(point));
    }
    auto* colorRow = new QHBoxLayout;
    FColorLabel = new QLabel(this);
    ColorBox1 = new QComboBox(this);
    ColorBox1->setObjectName(QStringLiteral("ColorBox1"));
    FColorLabel->setBuddy(ColorBox1);
    colorRow->addWidget(FColorLabel);
    colorRow->addWidget(ColorBox1, 1);
    layout->addLayout(colorRow);
    connect(ColorBox1, &QComboBox::activated, this, [this](int index) { RunCommand(this, [&] { ColorBoxChosen(index); }); });

    buOK = new QPushButton(this);
    buOK->setObjectName(QStringLiteral("buOK"));
    buOK->setDefault(true);
    buCancel = new QPushButton(this);
    buCancel->setObjectName(QStringLiteral("buCancel"));
    buCancel->setAutoDefault(false);
    connect(buOK, &QPushButton::clicked, this, [this] { RunCommand(this, [this] { buOKClick(); }); });
    connect(buCancel, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buOK);
    buttons->addWidget(buCancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    Retranslate();
    FillColorBox();
    SetColor(InfColor::clBtnFace);
    ShowPoints();
}

TfmCalibrate::~TfmCalibrate() = default;

QWidget* TfmCalibrate::PointGroup(int point)
{
    auto* group = new QWidget(this);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(20, 0, 0, 0);
    const QString n = QString::number(point + 1);
    auto edit = [&](const char* name, int width) {
        auto* e = new QLineEdit(group);
        e->setObjectName(QLatin1String(name) + n);
        e->setFixedWidth(width);
        return e;
    };
    QLineEdit* x = edit("edX", 60);
    QLineEdit* y = edit("edY", 60);
    for (QLineEdit* e : { x, y }) {
        e->setValidator(new QIntValidator(e));
        connect(e, &QLineEdit::editingFinished, this, [this] { RunCommand(this, [this] { edX1Exit(); }); });
    }
    TPointEdits& edits = FPoints[point];
    edits.Edits[TEntryEdit::Latitude] = edit("edLatitude", 90);
    edits.Edits[TEntryEdit::LatDeg] = edit("edLatDeg", 32);
    edits.Edits[TEntryEdit::LatMin] = edit("edLatMin", 28);
    edits.Edits[TEntryEdit::LatSec] = edit("edLatSec", 28);
    edits.Edits[TEntryEdit::Longitude] = edit("edLongitude", 90);
    edits.Edits[TEntryEdit::LonDeg] = edit("edLonDeg", 32);
    edits.Edits[TEntryEdit::LonMin] = edit("edLonMin", 28);
    edits.Edits[TEntryEdit::LonSec] = edit("edLonSec", 28);
    edits.Edits[TEntryEdit::LatDeg]->setValidator(new QIntValidator(0, 90, group));
    edits.Edits[TEntryEdit::LonDeg]->setValidator(new QIntValidator(0, 180, group));
    for (TEntryEdit minSec : { TEntryEdit::LatMin, TEntryEdit::LatSec, TEntryEdit::LonMin, TEntryEdit::LonSec })
        edits.Edits[minSec]->setValidator(new QIntValidator(0, 59, group));
    for (const auto& [kind, e] : edits.Edits) {
        const TEntryEdit which = kind;
        connect(e, &QLineEdit::editingFinished, this,
            [this, point, which] { RunCommand(this, [&] { PointEditLeft(point, which); }); });
    }
    auto sign = [&](const char* name, TEntryEdit which) {
        auto* button = new QPushButton(group);
        button->setObjectName(QLatin1String(name));
        button->setFixedWidth(28);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this,
            [this, point, which] { RunCommand(this, [&] { PointEditLeft(point, which); }); });
        return button;
    };
    edits.LatSign = sign(point == 0 ? "buLatSign" : "buLatSign2", TEntryEdit::LatSign);
    edits.LonSign = sign(point == 0 ? "buLonSign" : "buLonSign2", TEntryEdit::LonSign);

    FXLabel[point] = new QLabel(group);
    FYLabel[point] = new QLabel(group);
    FLatLabel[point] = new QLabel(group);
    FLonLabel[point] = new QLabel(group);
    grid->addWidget(FXLabel[point], 0, 0);
    grid->addWidget(x, 0, 1);
    grid->addWidget(FYLabel[point], 0, 2);
    grid->addWidget(y, 0, 3, 1, 2);
    int column = 0;
    for (QWidget* w : { static_cast<QWidget*>(FLatLabel[point]), static_cast<QWidget*>(edits.Edits[TEntryEdit::Latitude]),
             static_cast<QWidget*>(edits.Edits[TEntryEdit::LatDeg]), static_cast<QWidget*>(edits.Edits[TEntryEdit::LatMin]),
             static_cast<QWidget*>(edits.Edits[TEntryEdit::LatSec]), static_cast<QWidget*>(edits.LatSign) })
        grid->addWidget(w, 1, column++);
    column = 0;
    for (QWidget* w : { static_cast<QWidget*>(FLonLabel[point]), static_cast<QWidget*>(edits.Edits[TEntryEdit::Longitude]),
             static_cast<QWidget*>(edits.Edits[TEntryEdit::LonDeg]), static_cast<QWidget*>(edits.Edits[TEntryEdit::LonMin]),
             static_cast<QWidget*>(edits.Edits[TEntryEdit::LonSec]), static_cast<QWidget*>(edits.LonSign) })
        grid->addWidget(w, 2, column++);

    NamePointEdits(point, x, y, edits);
    return group;
}

// Each point's edits under their own member names, for the key handlers and the tests.
void TfmCalibrate::NamePointEdits(int point, QLineEdit* x, QLineEdit* y, TPointEdits& edits)
{
    const auto name = [&](QLineEdit*& ex, QLineEdit*& ey, QLineEdit*& lat, QLineEdit*& lon, QLineEdit*& latDeg,
                          QLineEdit*& latMin, QLineEdit*& latSec, QLineEdit*& lonDeg, QLineEdit*& lonMin,
                          QLineEdit*& lonSec, QPushButton*& latSign, QPushButton*& lonSign) {
        ex = x;
        ey = y;
        lat = edits.Edits[TEntryEdit::Latitude];
        lon = edits.Edits[TEntryEdit::Longitude];
        latDeg = edits.Edits[TEntryEdit::LatDeg];
        latMin = edits.Edits[TEntryEdit::LatMin];
        latSec = edits.Edits[TEntryEdit::LatSec];
        lonDeg = edits.Edits[TEntryEdit::LonDeg];
        lonMin = edits.Edits[TEntryEdit::LonMin];
        lonSec = edits.Edits[TEntryEdit::LonSec];
        latSign = edits.LatSign;
        lonSign = edits.LonSign;
    };
    if (point == 0)
        name(edX1, edY1, edLatitude1, edLongitude1, edLatDeg1, edLatMin1, edLatSec1, edLonDeg1, edLonMin1, edLonSec1,
            buLatSign, buLonSign);
    else
        name(edX2, edY2, edLatitude2, edLongitude2, edLatDeg2, edLatMin2, edLatSec2, edLonDeg2, edLonMin2, edLonSec2,
            buLatSign2, buLonSign2);
}

void TfmCalibrate::Retranslate()
{
    setWindowTitle(tr("Calibrate..."));
    FHeader->setText(tr("Use this dialog to calibrate the map by providing two points and their corresponding coordinates "
                        "on the map. To calibrate first choose the point to calibrate below, then click the pointer on "
                        "the map to set the position of that point.\nNote that the horizontal axis of the map must be "
                        "parallel to the earths equator!"));
    // A fixed-size dialog asks the label for its plain size hint, which is too low for the
    // wrapped text of a longer translation.
    FHeader->setMinimumHeight(FHeader->heightForWidth(FHeader->width()));
    rbPoint1->setText(tr("Calibration Point 1"));
    rbPoint2->setText(tr("Calibration Point 2"));
    for (int point = 0; point < 2; ++point) {
        FXLabel[point]->setText(tr("X:"));
        FYLabel[point]->setText(tr("Y:"));
        FLatLabel[point]->setText(tr("Latitude:"));
        FLonLabel[point]->setText(tr("Longitude:"));
    }
    FColorLabel->setText(tr("Map background color:"));
    buOK->setText(tr("OK"));
    buCancel->setText(tr("Cancel"));
    if (ColorBox1->count() > 0) {
        const TInfColor color = Color();
        FillColorBox();
        SetColor(color);
    }
}

void TfmCalibrate::changeEvent(QEvent* event)
{
    TTarvellModalForm::changeEvent(event);
    // The map the points are clicked on comes up with the dialog.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FOwner.window()->raise();
}

void TfmCalibrate::showEvent(QShowEvent* event)
{
    TTarvellModalForm::showEvent(event);
    FOwner.SetMapChoiceEnabled(false);
    ShowPoints();
}

void TfmCalibrate::done(int result)
{
    // Every way out (OK, Cancel, Escape, the close box) ends here.
    FOwner.SetMapChoiceEnabled(true);
    TTarvellModalForm::done(result);
}

// --- colours -------------------------------------------------------------------------------------

void TfmCalibrate::FillColorBox()
{
    ColorBox1->clear();
    ColorBox1->addItem(Swatch(ScreenColor(FCustomColor)), tr("Custom..."), QVariant::fromValue(FCustomColor));
    for (const TColorCaption& caption : ColorCaptions)
        ColorBox1->addItem(Swatch(ScreenColor(caption.Color)), tr(caption.Caption), QVariant::fromValue(caption.Color));
}

TInfColor TfmCalibrate::Color() const
{
    const int index = ColorBox1->currentIndex();
    return index < 0 ? InfColor::clBtnFace : ColorBox1->itemData(index).value<TInfColor>();
}

void TfmCalibrate::SetColor(TInfColor color)
{
    FChosenColor = color;
    for (int i = CustomItem + 1; i < ColorBox1->count(); ++i)
        if (ColorBox1->itemData(i).value<TInfColor>() == color) {
            ColorBox1->setCurrentIndex(i);
            return;
        }
    FCustomColor = color;
    ColorBox1->setItemData(CustomItem, QVariant::fromValue(color));
    ColorBox1->setItemIcon(CustomItem, Swatch(ScreenColor(color)));
    ColorBox1->setCurrentIndex(CustomItem);
}

void TfmCalibrate::ColorBoxChosen(int index)
{
    if (index != CustomItem) {
        FChosenColor = Color();
        return;
    }
    QColorDialog dialog(ScreenColor(FChosenColor), this);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    if (dialog.exec() == QDialog::Accepted && dialog.selectedColor().isValid())
        SetColor(InfColorFromQColor(dialog.selectedColor()));
    else
        SetColor(FChosenColor);
}

// --- points --------------------------------------------------------------------------------------

void TfmCalibrate::SetX1(int value)
{
    FX1 = value;
    edX1->setText(QString::number(value));
}

void TfmCalibrate::SetY1(int value)
{
    FY1 = value;
    edY1->setText(QString::number(value));
}

void TfmCalibrate::SetX2(int value)
{
    FX2 = value;
    edX2->setText(QString::number(value));
}

void TfmCalibrate::SetY2(int value)
{
    FY2 = value;
    edY2->setText(QString::number(value));
}

int TfmCalibrate::ChosenPoint() const
{
    if (rbPoint1->isChecked())
        return 1;
    return rbPoint2->isChecked() ? 2 : 0;
}

void TfmCalibrate::edX1Exit()
{
    auto read = [](const QLineEdit* edit, int now) {
        bool ok = false;
        const double value = edit->text().trimmed().toDouble(&ok);
        return ok && std::isfinite(value) ? RoundToInt32(value) : now;
    };
    SetX1(read(edX1, FX1));
    SetY1(read(edY1, FY1));
    SetX2(read(edX2, FX2));
    SetY2(read(edY2, FY2));
}

TEntryEditValues TfmCalibrate::Values(int point) const
{
    TEntryEditValues values;
    values.Enabled = true;
    for (const auto& [kind, edit] : FPoints[point].Edits)
        values.Text(kind) = edit->text();
    values.LatSign = FPoints[point].LatSign->text();
    values.LonSign = FPoints[point].LonSign->text();
    return values;
}

void TfmCalibrate::ShowPoints()
{
    for (int point = 0; point < 2; ++point) {
        TEntryEditValues values;
        TEntryEditSync::FromEntry(point == 0 ? &C1 : &C2, values);
        for (const auto& [kind, edit] : FPoints[point].Edits)
            if (edit->text() != values.Text(kind))
                edit->setText(values.Text(kind));
        FPoints[point].LatSign->setText(values.LatSign);
        FPoints[point].LonSign->setText(values.LonSign);
    }
}

void TfmCalibrate::PointEditLeft(int point, TEntryEdit edit)
{
    if (TEntryEditSync::ToEntry(point == 0 ? &C1 : &C2, edit, Values(point)))
        ShowPoints();
}

void TfmCalibrate::buOKClick()
{
    // What is still being typed counts as left.
    if (QWidget* focus = QApplication::focusWidget(); focus && isAncestorOf(focus)) {
        if (focus == edX1 || focus == edY1 || focus == edX2 || focus == edY2)
            edX1Exit();
        for (int point = 0; point < 2; ++point)
            for (const auto& [kind, e] : FPoints[point].Edits)
                if (e == focus)
                    PointEditLeft(point, kind);
    }
    buOK->setFocus();
    const QString error = CalibrationPointsError(
        FX1, FY1, FX2, FY2, C1.GetLongitude(), C1.GetLatitude(), C2.GetLongitude(), C2.GetLatitude());
    if (!error.isEmpty())
        throw EUserError(error);
    const QSize picture = FOwner.PictureSize();
    if (CalibrationPointsClose(FX1, FY1, FX2, FY2, picture.width(), picture.height())
        && AskYesNo(this,
               tr("The calibrations point are very close to each other, therefore precise location calculations can "
                  "not be guaranteed. Are you sure you want to use this calibration?"))
            != IDYES)
        return;
    TMapCalibration calibration;
    calibration.Cal1Lon = C1.GetLongitude();
    calibration.Cal1Lat = C1.GetLatitude();
    calibration.Cal2Lon = C2.GetLongitude();
    calibration.Cal2Lat = C2.GetLatitude();
    calibration.Cal1X = FX1;
    calibration.Cal1Y = FY1;
    calibration.Cal2X = FX2;
    calibration.Cal2Y = FY2;
    calibration.BackColor = Color();
    FOwner.ApplyCalibration(calibration);
    close();
}
