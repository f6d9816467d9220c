// The rich hint of a glow button.
#include "ui/AdvHintInfo.h"

#include <QTextDocument>

QString PlainHintText(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre-wrap'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

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
