// The base of every map window.
#include "maps/uMapForm.h"

#include "model/uModel.h"

#include <QIcon>

TMapForm::TMapForm(TEntries& source, QWidget* owner)
    : TTarvellForm(owner)
    , FEntries(TEntries::CreateView(source))
{
}

TMapForm::~TMapForm() = default;

void TMapForm::MapShowHint(QString&, bool&, TMapHintInfo&) { }

QIcon MapPicture(const char* name)
{
    // Resources of a static library are only linked in when something names them.
    static const bool loaded = [] {
        Q_INIT_RESOURCE(maps);
        return true;
    }();
    (void)loaded;
    return QIcon(QStringLiteral(":/tarvell/maps/%1.svg").arg(QLatin1String(name)));
}
