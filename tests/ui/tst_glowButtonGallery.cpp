// A gallery of glow buttons on a real X server, kept as a build artefact: every state, a hot fade
// at 40 %, a split drop-down button with its part hovered, the four positions as one bar,
// transparent buttons over a coloured panel and large image buttons.
#include "ui/AdvGlowButton.h"
#include "ui/uTransTool.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QtTest>

class TGlowButtonTestAccess {
public:
    static TGlowButtonLogic& Logic(TAdvCustomGlowButton& button) { return button.FLogic; }
};

namespace {

QPixmap Tile(QColor color, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(color.darker(140));
    p.drawRoundedRect(QRectF(1.5, 1.5, size - 3, size - 3), size / 6.0, size / 6.0);
    return pixmap;
}

} // namespace

class TestGlowButtonGallery : public QObject {
    Q_OBJECT
private slots:
    void gallery()
    {
        TPngImageList small(QSize(24, 24));
        small.Add(Tile(QColor(0x3c, 0x8d, 0xd8), 24));
        small.Add(Tile(QColor(0x4c, 0xaf, 0x50), 24));
        TPngImageList large(QSize(48, 48));
        large.Add(Tile(QColor(0xe0, 0x8a, 0x2c), 48));
        large.Add(Tile(QColor(0x8e, 0x5b, 0xc4), 48));

        QWidget window;
        window.setWindowTitle(QStringLiteral("Glow buttons"));
        window.setStyleSheet(QString());
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, QColor(0xf4, 0xf4, 0xf4));
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        window.resize(640, 400);
        auto make = [&](const QString& caption, int x, int y, int w = 110, int h = 41) {
            auto* b = new TAdvGlowButton(&window);
            b->SetCaption(caption);
            b->SetImages(&small);
            b->SetImageIndex(0);
            b->setGeometry(x, y, w, h);
            return b;
        };
        auto caption = [&](const QString& text, int x, int y) {
            auto* label = new QLabel(text, &window);
            label->move(x, y);
        };

        caption(QStringLiteral("States"), 10, 8);
        make(QStringLiteral("Normal"), 10, 28);
        TAdvGlowButton* hot = make(QStringLiteral("Hot"), 130, 28);
        TGlowButtonTestAccess::Logic(*hot).Hot = true;
        TGlowButtonTestAccess::Logic(*hot).MouseEntered = true;
        TAdvGlowButton* fading = make(QStringLiteral("Hot 40 %"), 250, 28);
        TGlowButtonTestAccess::Logic(*fading).Hot = true;
        TGlowButtonTestAccess::Logic(*fading).FadeTimerRunning = true;
        TGlowButtonTestAccess::Logic(*fading).HotFade = 40;
        TAdvGlowButton* pressed = make(QStringLiteral("Pressed"), 370, 28);
        TGlowButtonTestAccess::Logic(*pressed).State = gsPressed;
        TAdvGlowButton* disabled = make(QStringLiteral("Disabled"), 490, 28);
        disabled->setEnabled(false);
        TAdvGlowButton* checked = make(QStringLiteral("Checked"), 10, 78);
        checked->SetStyle(TAdvButtonStyle::bsCheck);
        checked->SetDown(true);
        TAdvGlowButton* focused = make(QStringLiteral("Focused"), 130, 78);
        focused->setFocus();
        QMenu menu;
        menu.addAction(QStringLiteral("Profile"));
        TAdvGlowButton* split = make(QStringLiteral("Update"), 250, 78, 130);
        split->SetDropDownButton(true);
        split->SetDropDownMenu(&menu);
        TGlowButtonTestAccess::Logic(*split).Hot = true;
        TGlowButtonTestAccess::Logic(*split).MouseInside = true;
        TGlowButtonTestAccess::Logic(*split).MouseEntered = true;
        TGlowButtonTestAccess::Logic(*split).OverDropDown = true;
        TAdvGlowButton* notes = make(QStringLiteral("With notes"), 390, 78, 210, 50);
        notes->SetNotes({ QStringLiteral("A second line of notes") });

        caption(QStringLiteral("Positions"), 10, 140);
        const TButtonPosition positions[] = { TButtonPosition::bpLeft, TButtonPosition::bpMiddle, TButtonPosition::bpMiddle, TButtonPosition::bpRight };
        const char* names[] = { "Sites", "All Items", "Settings", "Profiles" };
        for (int i = 0; i < 4; ++i) {
            TAdvGlowButton* b = make(QString::fromLatin1(names[i]), 10 + i * 100, 160, 100, 32);
            b->SetImages(nullptr);
            b->SetPosition(positions[i]);
        }

        caption(QStringLiteral("Transparent over a panel"), 10, 205);
        auto* panel = new QWidget(&window);
        panel->setGeometry(10, 225, 420, 56);
        QPalette panelPalette = panel->palette();
        panelPalette.setColor(QPalette::Window, QColor(0x2f, 0x6f, 0xa8));
        panel->setPalette(panelPalette);
        panel->setAutoFillBackground(true);
        for (int i = 0; i < 3; ++i) {
            auto* b = new TAdvGlowButton(panel);
            b->SetCaption(QString::fromLatin1(names[i]));
            b->setGeometry(8 + i * 104, 8, 100, 40);
            b->Transparent = i != 0;
        }
        auto* bar = new TTestToolbar(panel);
        bar->setGeometry(320, 12, 96, 32);
        bar->addAction(Tile(QColor(0xff, 0xd5, 0x4f), 24), QStringLiteral("Refresh"));

        caption(QStringLiteral("Large image buttons"), 450, 140);
        for (int i = 0; i < 2; ++i) {
            auto* b = new TAdvGlowButton(&window);
            b->SetImages(&large);
            b->SetImageIndex(i);
            b->SetCaption(i == 0 ? QStringLiteral("Create a new\\nPOI file") : QStringLiteral("AutoUpdate\\nnow"));
            b->setGeometry(450, 160 + i * 100, 170, 90);
            b->SetLayout(TButtonLayout::blGlyphLeft);
        }

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        focused->setFocus();
        QTest::qWait(50);
        const QImage picture = window.grab().toImage();
        QVERIFY(!picture.isNull());
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        const QString file = QStringLiteral(TARVELL_ARTIFACTS "/glow-buttons.png");
        QVERIFY(picture.save(file));
        QVERIFY(QFileInfo(file).size() > 0);
    }
};

TARVELL_QTEST_MAIN(TestGlowButtonGallery)
#include "tst_glowButtonGallery.moc"
