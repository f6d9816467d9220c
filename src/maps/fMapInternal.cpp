// The internal map window.
#include "maps/fMapInternal.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/uCursors.h"
#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uScopeGuard.h"
#include "core/uSettings.h"
#include "maps/fCalibrate.h"
#include "maps/uMapInternal.h"
#include "model/uModel.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cmath>

namespace {

// The picture list, refilled each time it drops down.
class TMapComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> OnDropDown;

protected:
    void showPopup() override
    {
        if (OnDropDown)
            OnDropDown();
        QComboBox::showPopup();
    }
};

// The rubber band: a dotted outline, no fill.
class TSelectShape : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QPen pen(Qt::black, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

// Calibration of the control until a picture with a side file is loaded.
constexpr double DesignCal1Lon = 2.515;
constexpr double DesignCal1Lat = 49.4159;
constexpr double DesignCal2Lon = 7.2831;
constexpr double DesignCal2Lat = 53.5897;
// The panel's colour, 00BBGGRR 8421631.
const QColor NeedsCalibrationColor(0xFF, 0x80, 0x80);
constexpr int ReshowTimeout = 500;

QAction* MapAction(QWidget* owner, const char* name, const char* picture, bool checkable)
{
    auto* action = new QAction(owner);
    action->setObjectName(QLatin1String(name));
    action->setIcon(MapPicture(picture));
    action->setCheckable(checkable);
    return action;
}

} // namespace

TfmMapInternal::TfmMapInternal(TEntries& source, QWidget* owner)
    : TMapForm(source, owner)
{
    setObjectName(QStringLiteral("fmMapInternal"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    setCentralWidget(central);

    auto* combo = new TMapComboBox(central);
    combo->OnDropDown = [this] { Run([this] { FillMapList(); }); };
    coMap = combo;
    coMap->setObjectName(QStringLiteral("coMap"));
    connect(coMap, &QComboBox::activated, this, [this] { Run([this] { coMapChange(); }); });
    layout->addWidget(coMap);

    CreateToolBar(central);
    layout->addWidget(ToolBar1);

    CreateMapBox(central);
    CreateCalibrationPanel();
    layout->addWidget(MapBox, 1);

    SetBackColor(InfColor::clBtnFace);
    Retranslate();
    acSetMoveExecute();
    UpdateActions();
}

void TfmMapInternal::CreateToolBar(QWidget* parent)
{
    ToolBar1 = new QToolBar(parent);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    acZoomout = MapAction(this, "acZoomout", "zoom-out", false);
    acZoomin = MapAction(this, "acZoomin", "zoom-in", false);
    acSetMove = MapAction(this, "acSetMove", "move", true);
    acSetPos = MapAction(this, "acSetPos", "set-position", true);
    acSelect = MapAction(this, "acSelect", "select", true);
    acGotoMapsPage = MapAction(this, "acGotoMapsPage", "maps-page", false);
    acCalibrate = MapAction(this, "acCalibrate", "calibrate", false);
    auto* modes = new QActionGroup(this);
    modes->setExclusive(true);
    for (QAction* mode : { acSetMove, acSetPos, acSelect })
        modes->addAction(mode);
    acSetMove->setChecked(true);
    // The maps page has no address yet.
    acGotoMapsPage->setEnabled(false);
    for (QAction* action : { acZoomout, acZoomin, acSetMove, acSetPos, acSelect, acGotoMapsPage, acCalibrate })
        ToolBar1->addAction(action);
    connect(acZoomin, &QAction::triggered, this, [this] { Run([this] { acZoominExecute(); }); });
    connect(acZoomout, &QAction::triggered, this, [this] { Run([this] { acZoomoutExecute(); }); });
    connect(acSetMove, &QAction::triggered, this, [this] { Run([this] { acSetMoveExecute(); }); });
    connect(acSetPos, &QAction::triggered, this, [this] { Run([this] { acSetPosExecute(); }); });
    connect(acCalibrate, &QAction::triggered, this, [this] { Run([this] { acCalibrateExecute(); }); });
}

void TfmMapInternal::CreateMapBox(QWidget* parent)
{
    MapBox = new QScrollArea(parent);
    MapBox->setObjectName(QStringLiteral("MapBox"));
    MapBox->setWidgetResizable(false);
    MapBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    OrvikMap1 = new TOrvikMap;
    OrvikMap1->setObjectName(QStringLiteral("OrvikMap1"));
    OrvikMap1->setMouseTracking(true);
    OrvikMap1->SetMarker(MapMarkerPicture());
    OrvikMap1->SetCal1Lon(DesignCal1Lon);
    OrvikMap1->SetCal1Lat(DesignCal1Lat);
    OrvikMap1->SetCal2Lon(DesignCal2Lon);
    OrvikMap1->SetCal2Lat(DesignCal2Lat);
    OrvikMap1->OnPaintMarkers = [this](TOrvikMap& sender) { OrvikMap1PaintMarkers(sender); };
    OrvikMap1->OnMouseDown = [this](const TMapMouseEvent& e) { Run([&] { MapBoxMouseDown(e); }); };
    OrvikMap1->OnMouseMove = [this](const TMapMouseEvent& e) { Run([&] { OrvikMap1MouseMove(e); }); };
    OrvikMap1->OnMouseUp = [this](const TMapMouseEvent& e) { Run([&] { OrvikMap1MouseUp(e); }); };
    OrvikMap1->OnHintText = [this](int x, int y) {
        QString hint;
        bool canShow = true;
        TMapHintInfo info { OrvikMap1, QPoint(x, y), -1 };
        MapShowHint(hint, canShow, info);
        return canShow ? hint : QString();
    };
    OrvikMap1->installEventFilter(this);
    MapBox->setWidget(OrvikMap1);
    MapBox->viewport()->installEventFilter(this);
    MapBox->viewport()->setAutoFillBackground(true);

    // The mark and the band lie over the picture and let the mouse through to it.
    imgPos = new QLabel(OrvikMap1);
    imgPos->setObjectName(QStringLiteral("imgPos"));
    imgPos->setPixmap(QPixmap::fromImage(PositionMarkPicture()));
    imgPos->setFixedSize(32, 32);
    imgPos->setAttribute(Qt::WA_TransparentForMouseEvents);
    imgPos->hide();
    shSelect = new TSelectShape(OrvikMap1);
    shSelect->setObjectName(QStringLiteral("shSelect"));
    shSelect->setAttribute(Qt::WA_TransparentForMouseEvents);
    shSelect->hide();
}

// The notice over a picture without calibration, with its button.
void TfmMapInternal::CreateCalibrationPanel()
{
    laNeedsCalibration = new QWidget(MapBox->viewport());
    laNeedsCalibration->setObjectName(QStringLiteral("laNeedsCalibration"));
    laNeedsCalibration->setAutoFillBackground(true);
    QPalette panel = laNeedsCalibration->palette();
    panel.setColor(QPalette::Window, NeedsCalibrationColor);
    laNeedsCalibration->setPalette(panel);
    auto* panelLayout = new QVBoxLayout(laNeedsCalibration);
    FNeedsCalibrationText = new QLabel(laNeedsCalibration);
    FNeedsCalibrationText->setAlignment(Qt::AlignCenter);
    QFont bold = FNeedsCalibrationText->font();
    bold.setBold(true);
    FNeedsCalibrationText->setFont(bold);
    panelLayout->addWidget(FNeedsCalibrationText);
    FCalibrateButton = new QPushButton(laNeedsCalibration);
    FCalibrateButton->setObjectName(QStringLiteral("buCalibrate"));
    connect(FCalibrateButton, &QPushButton::clicked, acCalibrate, &QAction::trigger);
    connect(acCalibrate, &QAction::changed, FCalibrateButton, [this] { FCalibrateButton->setEnabled(acCalibrate->isEnabled()); });
    panelLayout->addWidget(FCalibrateButton);
    laNeedsCalibration->hide();
}

TfmMapInternal::~TfmMapInternal()
{
    // The dialog reaches into this window while it closes: it goes while the window is whole.
    if (TfmCalibrate* dialog = FCalibrate) {
        dialog->close();
        delete dialog;
    }
    EndDrag();
}

void TfmMapInternal::Retranslate()
{
    acZoomout->setText(tr("Zoom out"));
    acZoomin->setText(tr("Zoom in"));
    acSetMove->setText(tr("Turns the cursor into move map mode"));
    acSetPos->setText(tr("Turns the cursor into set position mode"));
    acSelect->setText(tr("Allows you to select the pois on the map by clicking and dragging the mouse"));
    acGotoMapsPage->setText(tr("Go to the online Tarvell maps page"));
    acCalibrate->setText(tr("Click here to calibrate"));
    acCalibrate->setToolTip(tr("Calibrates the map"));
    FNeedsCalibrationText->setText(tr("Map needs calibration!"));
    FCalibrateButton->setText(acCalibrate->text());
    laNeedsCalibration->adjustSize();
    Panel2Resize();
}

void TfmMapInternal::Run(const std::function<void()>& body)
{
    RunCommand(this, body);
    UpdateActions();
}

// --- activation and the picture list -------------------------------------------------------------

void TfmMapInternal::FormActivate()
{
    EndDrag();
    // The open dialog calibrates the loaded picture: another child's "Map" must not swap it
    // underneath (its OK would write these points beside that picture).
    if (FCalibrate) {
        acSetMove->setChecked(true);
        acSetMoveExecute();
        return;
    }
    FillMapList();
    const int map = GetSettings().Map;
    coMap->setCurrentIndex(map >= 0 && map < coMap->count() ? map : (coMap->count() > 0 ? 0 : -1));
    // A picture that does not load is reported here: the window stays, so another can be chosen.
    RunCommand(this, [this] { coMapChange(); });
    acSetMove->setChecked(true);
    acSetMoveExecute();
}

void TfmMapInternal::FillMapList()
{
    // Each item carries the name's own bytes, which open the picture; it shows them readable.
    const QByteArray chosen = coMap->currentIndex() >= 0 ? coMap->currentData().toByteArray() : QByteArray();
    const QSignalBlocker blocker(coMap);
    coMap->clear();
    int found = -1;
    for (const TMapPictureName& name : ListMapPictureNames(MapsFolder())) {
        if (!chosen.isEmpty() && name.Native == chosen)
            found = coMap->count();
        coMap->addItem(name.Shown, name.Native);
    }
    coMap->setCurrentIndex(found);
}

void TfmMapInternal::coMapChange()
{
    GetSettings().Map = coMap->currentIndex();
    LoadMap();
    ShowCurrentEntry();
}

void TfmMapInternal::ShowNeedsCalibration(bool shown)
{
    laNeedsCalibration->setVisible(shown);
    if (shown) {
        laNeedsCalibration->raise();
        Panel2Resize();
    }
}

QSize TfmMapInternal::PictureSize() const
{
    const TMapPicture& picture = OrvikMap1->GetMapPic();
    return picture.IsEmpty() ? QSize(0, 0) : QSize(picture.Width(), picture.Height());
}

void TfmMapInternal::SetMapChoiceEnabled(bool enabled) { coMap->setEnabled(enabled); }

bool TfmMapInternal::NameWritable() const
{
    return QFile::encodeName(QFile::decodeName(FLoadedNative)) == FLoadedNative;
}

bool TfmMapInternal::Calibrated() const { return !PictureSize().isEmpty() && laNeedsCalibration->isHidden(); }

void TfmMapInternal::LoadMap()
{
    if (coMap->currentIndex() < 0)
        return;
    const QString name = coMap->currentText();
    const QByteArray native = coMap->currentData().toByteArray();
    if (native == FLoadedNative && !FLoadedName.isEmpty())
        return;
    const QByteArray nativePath = QFile::encodeName(MapsFolder()) + native;
    EndDrag();
    OrvikMap1->SetZoom(1);
    // A picture that does not load leaves no name behind, so choosing it again tries again.
    FLoadedName.clear();
    FLoadedNative.clear();
    {
        const auto hideOnFailure = OnFailure([this] {
            ShowNeedsCalibration(false);
            imgPos->hide();
        });
        OrvikMap1->LoadMapPicNative(nativePath, name);
    }
    FLoadedName = name;
    FLoadedNative = native;
    const QSize size = PictureSize();
    if (size.isEmpty()) {
        ShowNeedsCalibration(true);
        return;
    }
    const TCalibrationLoad load = LoadCalibrationNative(nativePath, size.width(), size.height());
    switch (load.State) {
    case TCalibrationState::NoSideFile:
        OrvikMap1->SetCal1Lon(0);
        OrvikMap1->SetCal1Lat(0);
        OrvikMap1->SetCal2Lon(0);
        OrvikMap1->SetCal2Lat(0);
        ShowNeedsCalibration(true);
        return;
    case TCalibrationState::SizeMismatch:
        ShowNeedsCalibration(true);
        return;
    case TCalibrationState::Invalid:
        ShowNeedsCalibration(true);
        ShowWarning(this, tr("Loading of calibration data failed: %1\n\nPlease calibrate the map properly.").arg(load.Message));
        return;
    case TCalibrationState::Degenerate:
    case TCalibrationState::Calibrated: {
        SetCalibration(load.Calibration);
        // Points that share a coordinate give no scale: the map is shown uncalibrated.
        ShowNeedsCalibration(load.State == TCalibrationState::Degenerate);
        return;
    }
    }
}

void TfmMapInternal::SaveCalibration()
{
    // Beside the picture whose points these are, whatever the list shows.
    if (coMap->currentIndex() < 0 || FLoadedName.isEmpty() || !NameWritable())
        return;
    TMapCalibration calibration;
    calibration.Cal1Lon = OrvikMap1->GetCal1Lon();
    calibration.Cal1Lat = OrvikMap1->GetCal1Lat();
    calibration.Cal1X = OrvikMap1->GetCal1X();
    calibration.Cal1Y = OrvikMap1->GetCal1Y();
    calibration.Cal2Lon = OrvikMap1->GetCal2Lon();
    calibration.Cal2Lat = OrvikMap1->GetCal2Lat();
    calibration.Cal2X = OrvikMap1->GetCal2X();
    calibration.Cal2Y = OrvikMap1->GetCal2Y();
    calibration.BackColor = FBackColor;
    ::SaveCalibration(MapsFolder() + QFile::decodeName(FLoadedNative), calibration);
}

void TfmMapInternal::SetBackColor(TInfColor color)
{
    FBackColor = color;
    QPalette palette = MapBox->viewport()->palette();
    palette.setColor(QPalette::Window, InfColorToQColor(color, QApplication::palette()));
    MapBox->viewport()->setPalette(palette);
}

void TfmMapInternal::SetCalibration(const TMapCalibration& c)
{
    OrvikMap1->SetCal1Lon(c.Cal1Lon);
    OrvikMap1->SetCal1Lat(c.Cal1Lat);
    OrvikMap1->SetCal2Lon(c.Cal2Lon);
    OrvikMap1->SetCal2Lat(c.Cal2Lat);
    OrvikMap1->SetCal1X(c.Cal1X);
    OrvikMap1->SetCal1Y(c.Cal1Y);
    OrvikMap1->SetCal2X(c.Cal2X);
    OrvikMap1->SetCal2Y(c.Cal2Y);
    SetBackColor(c.BackColor);
}

void TfmMapInternal::ApplyCalibration(const TMapCalibration& c)
{
    SetCalibration(c);
    OrvikMap1->update();
    ShowNeedsCalibration(false);
    UpdateActions();
    SaveCalibration();
}

// --- zoom and modes ------------------------------------------------------------------------------

void TfmMapInternal::ZoomTo(double zoom)
{
    OrvikMap1->SetZoom(zoom);
    // The scroll box shows or hides its bars in a queued call: made now, so that the mark is
    // placed in the view that is left beside them.
    QCoreApplication::sendPostedEvents(MapBox, QEvent::MetaCall);
    ShowCurrentEntry();
}

void TfmMapInternal::acZoominExecute()
{
    if (acZoomin->isEnabled())
        ZoomTo(OrvikMap1->GetZoom() * 2);
}

void TfmMapInternal::acZoomoutExecute()
{
    if (acZoomout->isEnabled())
        ZoomTo(OrvikMap1->GetZoom() / 2);
}

void TfmMapInternal::acSetMoveExecute()
{
    OrvikMap1->setCursor(AppCursor(1));
    imgPos->setCursor(AppCursor(1));
}

void TfmMapInternal::acSetPosExecute()
{
    OrvikMap1->setCursor(AppCursor(3));
    imgPos->setCursor(AppCursor(3));
}

void TfmMapInternal::UpdateActions()
{
    const QSize picture = PictureSize();
    const bool hasPicture = coMap->currentIndex() >= 0 && !picture.isEmpty();
    const double factor = hasPicture ? double(OrvikMap1->width()) / picture.width() : 1;
    acZoomin->setEnabled(CanZoomIn(hasPicture, factor));
    acZoomout->setEnabled(CanZoomOut(hasPicture, factor));
    // A side file is written by the picture's name: one that is not UTF-8 cannot be spelt.
    acCalibrate->setEnabled(hasPicture && NameWritable());
    const bool setPos = CanSetPosition(Calibrated(), Entries().Count());
    acSetPos->setEnabled(setPos);
    if (!setPos && acSetPos->isChecked()) {
        acSetMove->setChecked(true);
        acSetMoveExecute();
    }
}

// --- scrolling -----------------------------------------------------------------------------------

QPoint TfmMapInternal::ScrollPos() const
{
    return QPoint(MapBox->horizontalScrollBar()->value(), MapBox->verticalScrollBar()->value());
}

void TfmMapInternal::SetScrollPos(QPoint pos)
{
    MapBox->horizontalScrollBar()->setValue(pos.x());
    MapBox->verticalScrollBar()->setValue(pos.y());
}

void TfmMapInternal::Panel2Resize()
{
    const QWidget* client = MapBox->viewport();
    laNeedsCalibration->move(
        (client->width() - laNeedsCalibration->width()) / 2, (client->height() - laNeedsCalibration->height()) / 2);
}

bool TfmMapInternal::FormMouseWheel(QWheelEvent* wheel)
{
    const QPoint angle = wheel->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    QScrollBar* bar
        = wheel->modifiers().testFlag(Qt::ShiftModifier) ? MapBox->horizontalScrollBar() : MapBox->verticalScrollBar();
    bar->setValue(bar->value() - WheelScrollStep(delta, wheel->modifiers().testFlag(Qt::ControlModifier)));
    wheel->accept();
    return true;
}

bool TfmMapInternal::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == MapBox->viewport()) {
        if (event->type() == QEvent::Resize)
            Panel2Resize();
        if (event->type() == QEvent::Wheel)
            return FormMouseWheel(static_cast<QWheelEvent*>(event));
    } else if (watched == OrvikMap1) {
        if (event->type() == QEvent::Wheel)
            return FormMouseWheel(static_cast<QWheelEvent*>(event));
        // A drag whose mouse grab is lost (another window, a popup) ends and gives the cursor back.
        switch (event->type()) {
        case QEvent::UngrabMouse:
        case QEvent::WindowDeactivate:
        case QEvent::Hide:
            EndDrag();
            break;
        default:
            break;
        }
    }
    return TMapForm::eventFilter(watched, event);
}

// --- the mouse -----------------------------------------------------------------------------------

void TfmMapInternal::MapBoxMouseDown(const TMapMouseEvent& event)
{
    const double zoom = OrvikMap1->GetZoom();
    if (FCalibrate && event.Button == Qt::LeftButton) {
        const int point = FCalibrate->ChosenPoint();
        if (point == 1) {
            FCalibrate->SetX1(RoundToInt32(event.X / zoom));
            FCalibrate->SetY1(RoundToInt32(event.Y / zoom));
        } else if (point == 2) {
            FCalibrate->SetX2(RoundToInt32(event.X / zoom));
            FCalibrate->SetY2(RoundToInt32(event.Y / zoom));
        } else {
            // Owned by the dialog, which stays on top and would hide a box of the map's own (the
            // map's window is the active one after the click).
            GetPrompt().MessageBox(FCalibrate, tr("First select a Calibration Point in the \"Calibrate...\" dialog"),
                ApplicationTitle(), MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    if (event.Button != Qt::LeftButton)
        return;
    if (acSetMove->isChecked()) {
        EndDrag();
        FDragOrigin = QPoint(event.X, event.Y);
        OrvikMap1->grabMouse();
        QApplication::setOverrideCursor(AppCursor(2));
    } else if (acSelect->isChecked()) {
        FBandActive = true;
        FBandStart = QPoint(event.X, event.Y);
        shSelect->setGeometry(QRect(FBandStart, QSize(0, 0)));
        shSelect->show();
        shSelect->raise();
    } else if (acSetPos->isChecked()) {
        if (OnSetPosition)
            if (const std::optional<TGeoPoint> picked
                = PickedPosition(OrvikMap1->YToLat(event.Y), OrvikMap1->XToLon(event.X), CoordinatePrecision()))
                OnSetPosition(picked->Lat, picked->Lon);
        ShowCurrentEntry();
    }
}

void TfmMapInternal::OrvikMap1MouseMove(const TMapMouseEvent& event)
{
    if (FDragOrigin.x() != -1) {
        // The picture follows the hand: the pixel pressed stays under the mouse.
        const QPoint client = QPoint(event.X, event.Y) - ScrollPos();
        SetScrollPos(FDragOrigin - client);
        return;
    }
    if (FBandActive)
        shSelect->setGeometry(QRect(FBandStart, QPoint(event.X, event.Y)).normalized());
    if (OnMouseCoords)
        OnMouseCoords(event.X, event.Y, OrvikMap1->YToLat(event.Y), OrvikMap1->XToLon(event.X));
}

void TfmMapInternal::EndDrag()
{
    if (FDragOrigin.x() == -1)
        return;
    FDragOrigin = QPoint(-1, -1);
    if (QWidget::mouseGrabber() == OrvikMap1)
        OrvikMap1->releaseMouse();
    QApplication::restoreOverrideCursor();
}

void TfmMapInternal::OrvikMap1MouseUp(const TMapMouseEvent& event)
{
    if (FDragOrigin.x() != -1) {
        EndDrag();
        return;
    }
    if (!FBandActive)
        return;
    FBandActive = false;
    struct TBandEnd {
        TfmMapInternal* Form;
        ~TBandEnd()
        {
            Form->OrvikMap1->update();
            Form->shSelect->hide();
        }
    } end { this };
    const QRect band = QRect(FBandStart, QPoint(event.X, event.Y)).normalized();
    const TGeoRect rect = GeoRectOf(OrvikMap1->XToLon(band.left()), OrvikMap1->YToLat(band.top()),
        OrvikMap1->XToLon(band.right()), OrvikMap1->YToLat(band.bottom()));
    const THourglass hourglass;
    if (OnSelectEntries) {
        CurrentIndex = KeepStrictlyInside(Entries(), rect, CurrentIndex);
        ShowEntries();
        OnSelectEntries(Entries());
    }
}

// --- drawing -------------------------------------------------------------------------------------

void TfmMapInternal::OrvikMap1PaintMarkers(TOrvikMap& sender)
{
    const QPoint pos = ScrollPos();
    const QWidget* client = MapBox->viewport();
    const TGeoRect visible = GeoRectOf(sender.XToLon(pos.x()), sender.YToLat(pos.y()),
        sender.XToLon(client->width() + pos.x()), sender.YToLat(client->height() + pos.y()));
    TEntries& entries = Entries();
    const int count = entries.Count();
    for (int i = 0; i < count; ++i) {
        const TEntry& entry = entries[i];
        if (InsideInclusive(entry, visible))
            sender.DrawMarkerAt(entry.GetLatitude(), entry.GetLongitude());
    }
}

void TfmMapInternal::ShowEntries()
{
    OrvikMap1->update();
    ShowCurrentEntry();
    UpdateActions();
}

void TfmMapInternal::ShowCurrentEntry()
{
    imgPos->setVisible(CurrentIndex != -1);
    if (CurrentIndex == -1)
        return;
    if (CurrentIndex < 0 || CurrentIndex >= Entries().Count() || PictureSize().isEmpty()) {
        imgPos->hide();
        return;
    }
    const TEntry& entry = Entries()[CurrentIndex];
    const double lon = entry.GetLongitude();
    const double lat = entry.GetLatitude();
    const TOrvikMap& map = *OrvikMap1;
    // Strictly inside the picture, whichever way the calibration runs (a mirrored one too).
    const double west = std::min(map.XToLon(0), map.XToLon(map.width()));
    const double east = std::max(map.XToLon(0), map.XToLon(map.width()));
    const double south = std::min(map.YToLat(map.height()), map.YToLat(0));
    const double north = std::max(map.YToLat(map.height()), map.YToLat(0));
    if (!(west < lon && lon < east && south < lat && lat < north)) {
        imgPos->hide();
        return;
    }
    const int left = map.LonToX(lon) - RoundToInt32(imgPos->width() / 2.0);
    const int top = map.LatToY(lat) - RoundToInt32(imgPos->height() / 2.0);
    imgPos->move(left, top);
    imgPos->raise();
    const QPoint now = ScrollPos();
    const TScrollPos pos = ScrollToShow(left, top, imgPos->width(), imgPos->height(), { now.x(), now.y() },
        MapBox->viewport()->width(), MapBox->viewport()->height());
    SetScrollPos(QPoint(pos.Horizontal, pos.Vertical));
}

void TfmMapInternal::MapShowHint(QString& hintStr, bool& canShow, TMapHintInfo& hintInfo)
{
    if (!canShow || (hintInfo.HintControl != OrvikMap1 && hintInfo.HintControl != imgPos))
        return;
    QPoint at = hintInfo.CursorPos;
    if (hintInfo.HintControl == imgPos)
        at += imgPos->pos();
    // The marker nearest to the mouse: with many POIs close together, the one the mouse is on.
    const int near = FindNearestEntry(Entries(), OrvikMap1->Scale(), at.x(), at.y());
    hintStr = near >= 0 ? MapHintText(Entries()[near], CoordinatePrecision()) : QString();
    hintInfo.ReshowTimeout = ReshowTimeout;
    if (hintStr.isEmpty())
        canShow = false;
}

// --- calibration ---------------------------------------------------------------------------------

void TfmMapInternal::acCalibrateExecute()
{
    if (FCalibrate) {
        FCalibrate->raise();
        FCalibrate->activateWindow();
        return;
    }
    if (PictureSize().isEmpty())
        return;
    auto* dialog = new TfmCalibrate(*this);
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    TTarvellModalForm::CreateAt(*dialog, origin.x() + width(), origin.y());
    dialog->Position = TFormPosition::poDefault;
    dialog->C1.SetLongitude(OrvikMap1->GetCal1Lon());
    dialog->C1.SetLatitude(OrvikMap1->GetCal1Lat());
    dialog->C2.SetLongitude(OrvikMap1->GetCal2Lon());
    dialog->C2.SetLatitude(OrvikMap1->GetCal2Lat());
    dialog->SetX1(OrvikMap1->GetCal1X());
    dialog->SetY1(OrvikMap1->GetCal1Y());
    dialog->SetX2(OrvikMap1->GetCal2X());
    dialog->SetY2(OrvikMap1->GetCal2Y());
    dialog->SetColor(FBackColor);
    FCalibrate = dialog;
    dialog->show();
}

TfmCalibrate* TfmMapInternal::CalibrationDialog() const { return FCalibrate; }
