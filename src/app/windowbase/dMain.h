// The data module: the image lists shared by every tool bar and list, and the lists of loaded
// plug-ins.
#pragma once

#include "plugins/loader/PluginUtils.h"
#include "ui/PngImageList.h"

#include <QIcon>
#include <QObject>
#include <QSize>
#include <QString>

#include <vector>

// The tool and list pictures are PNG image lists of one size each (disabled ones drawn greyed).
using TImageList = TPngImageList;

class TdmMain : public QObject {
    Q_OBJECT
public:
    explicit TdmMain(QObject* parent = nullptr);
    ~TdmMain() override;

    // 57 tool and menu pictures (24 x 24) and the same in their hover look.
    TImageList NormalImages { QSize(24, 24) };
    TImageList HotImages { QSize(24, 24) };
    // 10 pictures for lists and trees (16 x 16).
    TImageList ListImages { QSize(16, 16) };
    // 7 pictures of the update status window, 24 x 24 each.
    TPngImageCollection PngImageCollection1;

    // Kind 0 (open external) and kind 1 (HTML maps), loaded when the module is created.
    TPluginList ExternalPlugins;
    TPluginList MapPlugins;

    // Frees the loaded plug-ins (saving their parameters) and loads both kinds from appDir's
    // plugins/ folders, with the trial helper beside the executable unless options says another;
    // each refusal is a warning box.
    void LoadPlugins(const QString& appDir, const TPluginLoadOptions& options = {});

    // Tool picture index with its hover look, for actions and tool buttons; null out of range.
    QIcon ToolIcon(int index) const;

    // The external plug-in named by the "DefaultPlugin" setting (case-insensitive); nullptr when none.
    TPluginOpenExternal* FindDefaultPlugin() const;
};

// A picture of the desktop's icon theme by name, or of our own (":/tarvell/..."), in that size; a
// lettered tile when the theme has none.
QPixmap ThemePicture(const char* name, QSize size);
// The picture with the small triangle of a button that drops a menu down.
QPixmap WithDropArrow(QPixmap pixmap);

// The one data module, set while it exists.
TdmMain* dmMain();
