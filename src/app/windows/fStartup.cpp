// The start-up screen.
#include "app/windows/fStartup.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/uDialogs.h"
#include "core/uSettings.h"
#include "sites/uUpdateItems.h"
#include "ui/AdvGlowButton.h"
#include "ui/PngImageComp.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

TfmTarvellStartup::TfmTarvellStartup(TStartupHost& host)
    : TTarvellModalForm(host.HostWindow())
    , FHost(host)
{
    setObjectName(QStringLiteral("fmTarvellStartup"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    CreatePictures();
    CreateActions();
    CreateLayout();
    ConnectActions();
    cbDontShow->setChecked(!GetSettings().ShowStartupScreen);
    Retranslate();
    UpdateActions();
    setFixedSize(sizeHint());
}

void TfmTarvellStartup::CreatePictures()
{
    // Only the indices the actions name hold a picture.
    const std::pair<int, const char*> pictures[] = {
        { ImageNew, "document-new" },
        { ImageManager, "preferences-system" },
        { ImageUpdateNow, "view-refresh" },
        { ImageWizard, "system-software-install" },
        { ImageUpdateNowMenu, "view-refresh" },
    };
    for (int i = 0; i <= ImageUpdateNowMenu; ++i) {
        QPixmap picture;
        for (const auto& [index, name] : pictures)
            if (index == i)
                picture = ThemePicture(name, FImages.Size());
        FImages.Add(i == ImageUpdateNowMenu ? WithDropArrow(picture) : picture);
    }
    FPictures.Add(ThemePicture(":/tarvell/tarvell.svg", QSize(48, 48)).toImage());
    FPictures.Add(ThemePicture("mark-location", QSize(32, 32)).toImage());
    FPictures.Add(ThemePicture("pda", QSize(32, 32)).toImage());
    for (int i = 0; i < 3; ++i) {
        FDecorations[i] = new TPngImageComp(this);
        FDecorations[i]->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        FDecorations[i]->SetPngImageCollection(&FPictures);
        FDecorations[i]->SetImageIndex(i);
        FDecorations[i]->setFixedSize(i == 0 ? QSize(52, 52) : QSize(36, 36));
    }
}

void TfmTarvellStartup::CreateActions()
{
    auto action = [this](const char* name, int image, const char* shortcut) {
        auto* a = new TImageAction(QString(), image, &FImages, this);
        a->setObjectName(QLatin1String(name));
        if (*shortcut)
            a->setShortcut(QKeySequence(QLatin1String(shortcut)));
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        return a;
    };
    acNew = action("acNew", ImageNew, "");
    acWizard = action("acWizard", ImageWizard, "");
    acAutoUpdateManager = action("acAutoUpdateManager", ImageManager, "F8");
    acAutoUpdateNow = action("acAutoUpdateNow", ImageUpdateNow, "F9");

    auto button = [this](const char* name, QAction* a) {
        auto* b = new TAdvGlowButton(this);
        b->setObjectName(QLatin1String(name));
        b->SetImages(&FImages);
        b->SetAction(a);
        b->setMinimumSize(300, 46);
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    };
    buNew = button("buNew", acNew);
    buWizard = button("buWizard", acWizard);
    buAutoUpdateManager = button("buAutoUpdateManager", acAutoUpdateManager);
    buAutoUpdateNow = button("buAutoUpdateNow", acAutoUpdateNow);
    pmAutoUpdate = new QMenu(this);
    pmAutoUpdate->setObjectName(QStringLiteral("pmAutoUpdate"));
}

void TfmTarvellStartup::CreateLayout()
{
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont heading = Label1->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    Label1->setFont(heading);
    cbDontShow = new QCheckBox(this);
    cbDontShow->setObjectName(QStringLiteral("cbDontShow"));

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(FDecorations[0]);
    top->addWidget(Label1, 1);
    top->addWidget(FDecorations[1]);
    layout->addLayout(top);
    for (TAdvGlowButton* b : { buNew, buWizard, buAutoUpdateManager, buAutoUpdateNow })
        layout->addWidget(b);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cbDontShow, 1);
    bottom->addWidget(FDecorations[2]);
    layout->addLayout(bottom);
}

void TfmTarvellStartup::ConnectActions()
{
    const std::pair<QAction*, void (TfmTarvellStartup::*)()> handlers[] = {
        { acNew, &TfmTarvellStartup::acNewExecute },
        { acWizard, &TfmTarvellStartup::acWizardExecute },
        { acAutoUpdateManager, &TfmTarvellStartup::acAutoUpdateManagerExecute },
        { acAutoUpdateNow, &TfmTarvellStartup::acAutoUpdateNowExecute },
    };
    for (const auto& entry : handlers) {
        const auto handler = entry.second;
        connect(entry.first, &QAction::triggered, this, [this, handler] { RunCommand(this, [this, handler] { (this->*handler)(); }); });
    }
}

void TfmTarvellStartup::Retranslate()
{
    setWindowTitle(tr("Tarvell Startup..."));
    Label1->setText(tr("What do you want to do?"));
    acNew->setText(tr("&Create new Poi File"));
    acWizard->setText(tr("&Start AutoUpdate Wizard"));
    acAutoUpdateManager->setText(tr("&Open AutoUpdate Manager (F8)"));
    acAutoUpdateNow->setText(tr("&AutoUpdate Now (F9)"));
    cbDontShow->setText(tr("Next time do not show this startup screen "));
}

void TfmTarvellStartup::UpdateActions()
{
    static_cast<TImageAction*>(acAutoUpdateNow)
        ->SetImageIndex(AutoUpdateProfileCount() < 2 ? ImageUpdateNow : ImageUpdateNowMenu);
}

void TfmTarvellStartup::showEvent(QShowEvent* event)
{
    UpdateActions();
    TTarvellModalForm::showEvent(event);
}

void TfmTarvellStartup::done(int result)
{
    GetSettings().ShowStartupScreen = !cbDontShow->isChecked();
    TTarvellModalForm::done(result);
}

void TfmTarvellStartup::acNewExecute()
{
    close();
    FHost.NewFile();
    FHost.HostWindow()->show();
}

void TfmTarvellStartup::acWizardExecute()
{
    close();
    FHost.StartWizard();
}

void TfmTarvellStartup::acAutoUpdateManagerExecute()
{
    close();
    FHost.OpenSiteManager();
}

void TfmTarvellStartup::acAutoUpdateNowExecute()
{
    if (AutoUpdateItemCount() == 0)
        throw EUserError(tr("You must first setup your AutoUpdate items using the AutoUpdate Wizard or Manager"));
    UpdateActions();
    if (AutoUpdateProfileCount() > 1) {
        FHost.BuildAutoUpdateMenu(pmAutoUpdate, [this](QAction* item) {
            close();
            FHost.AutoUpdateProfileClick(item);
        });
        pmAutoUpdate->popup(buAutoUpdateNow->mapToGlobal(QPoint(0, buAutoUpdateNow->height())));
        return;
    }
    close();
    // The host's run: its tray item and forwarded requests wait while it goes on.
    FHost.AutoUpdateAllProfiles(false);
}
