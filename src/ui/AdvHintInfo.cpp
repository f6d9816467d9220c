// The rich hint of a glow button.
#include "ui/AdvHintInfo.h"

void TAdvHintInfo::Assign(const TAdvHintInfo* source)
{
    if (!source || source == this)
        return;
    Title = source->Title;
    FNotes = source->FNotes;
    ShowHelp = source->ShowHelp;
    FPicture.Assign(&source->FPicture);
    WideTitle = source->WideTitle;
    WideNotes = source->WideNotes;
}
