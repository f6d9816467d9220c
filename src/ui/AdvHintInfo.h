// The rich hint of a glow button: a title, note lines, a picture and whether it offers help.
#pragma once

#include "ui/GDIPicture.h"

#include <QString>
#include <QStringList>

// A text for Qt's hint window that it shows as the characters it is: one that Qt would take for
// rich text ("<b>Zoo</b>" from a POI or a site) comes escaped, its line breaks kept.
QString PlainHintText(const QString& text);

class TAdvHintInfo {
public:
    TAdvHintInfo() = default;
    TAdvHintInfo(const TAdvHintInfo&) = delete;
    TAdvHintInfo& operator=(const TAdvHintInfo&) = delete;

    // Copies every field of source, the picture's bytes included; nullptr or itself changes nothing.
    void Assign(const TAdvHintInfo* source);

    QString Title;
    bool ShowHelp = false;
    // Not published on the forms: the title and notes in wide characters.
    QString WideTitle;
    QStringList WideNotes;

    const QStringList& Notes() const { return FNotes; }
    void SetNotes(const QStringList& notes) { FNotes = notes; }
    TGDIPPicture& Picture() { return FPicture; }
    const TGDIPPicture& Picture() const { return FPicture; }
    void SetPicture(const TGDIPPicture* picture) { FPicture.Assign(picture); }

private:
    QStringList FNotes;
    TGDIPPicture FPicture;
};
