// The base of every map window.
#include "maps/uMapForm.h"

#include "model/uModel.h"

TMapForm::TMapForm(TEntries& source, QWidget* owner)
    : TTarvellForm(owner)
    , FEntries(TEntries::CreateView(source))
{
}

TMapForm::~TMapForm() = default;

void TMapForm::MapShowHint(QString&, bool&, TMapHintInfo&) { }
