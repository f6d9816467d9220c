// The ini-style settings store.
#include "core/uSettingsStore.h"

#include "core/uLocations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString Fold(const QString& s) { return s.toCaseFolded(); }

QString OneLine(QString s)
{
    s.replace(QChar('\r'), QChar(' '));
    s.replace(QChar('\n'), QChar(' '));
    return s;
}

void CheckKey(const QString& key)
{
    AssertOrThrow(!key.isEmpty() && !key.contains(QChar('=')) && !key.contains(QChar('\n')) && !key.contains(QChar('\r'))
                      && !key.startsWith(QChar('[')) && !key.startsWith(QChar(';')) && key.trimmed() == key,
                  QStringLiteral("Invalid settings key"), "uSettingsStore", __LINE__);
}

QString ReadFileText(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

} // namespace

void TSettingsStore::TImage::Parse(const QString& text)
{
    Sections.clear();
    Index.clear();
    TSection* current = nullptr;
    const QStringList lines = text.split(QChar('\n'));
    for (QString line : lines) {
        if (line.endsWith(QChar('\r')))
            line.chop(1);
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (line.startsWith(QChar('[')) && line.endsWith(QChar(']')) && line.size() >= 2) {
            const QString name = line.mid(1, line.size() - 2);
            current = Find(name);
            if (!current) {
                Index.emplace(Fold(name), Sections.size());
                Sections.push_back(std::make_unique<TSection>());
                current = Sections.back().get();
                current->Name = name;
            }
            continue;
        }
        const qsizetype eq = line.indexOf(QChar('='));
        // Lines outside a section, without "=" or with an empty key are not ours: skipped.
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        const QString value = line.mid(eq + 1);
        const QString folded = Fold(key);
        const auto it = current->Index.find(folded);
        if (it != current->Index.end()) {
            current->Keys[it->second].second = value;
        } else {
            current->Index.emplace(folded, current->Keys.size());
            current->Keys.emplace_back(key, value);
        }
    }
}

TSettingsStore::TSection* TSettingsStore::TImage::Find(const QString& section) const
{
    const auto it = Index.find(Fold(section));
    return it == Index.end() ? nullptr : Sections[it->second].get();
}

void TSettingsStore::TImage::Apply(const TOp& op)
{
    TSection* section = Find(op.Section);
    switch (op.Kind) {
    case TOp::Write: {
        if (!section) {
            Index.emplace(Fold(op.Section), Sections.size());
            Sections.push_back(std::make_unique<TSection>());
            section = Sections.back().get();
            section->Name = op.Section;
        }
        const QString folded = Fold(op.Key);
        const auto it = section->Index.find(folded);
        if (it != section->Index.end()) {
            section->Keys[it->second].second = op.Value;
        } else {
            section->Index.emplace(folded, section->Keys.size());
            section->Keys.emplace_back(op.Key, op.Value);
        }
        break;
    }
    case TOp::DeleteKey: {
        if (!section)
            break;
        const auto it = section->Index.find(Fold(op.Key));
        if (it == section->Index.end())
            break;
        section->Keys.erase(section->Keys.begin() + qsizetype(it->second));
        section->Index.clear();
        for (size_t i = 0; i < section->Keys.size(); ++i)
            section->Index.emplace(Fold(section->Keys[i].first), i);
        break;
    }
    case TOp::EraseSection: {
        const auto it = Index.find(Fold(op.Section));
        if (it == Index.end())
            break;
        Sections.erase(Sections.begin() + qsizetype(it->second));
        Index.clear();
        for (size_t i = 0; i < Sections.size(); ++i)
            Index.emplace(Fold(Sections[i]->Name), i);
        break;
    }
    }
}

QString TSettingsStore::TImage::Text() const
{
    QString out;
    for (const auto& section : Sections) {
        if (!out.isEmpty())
            out += QChar('\n');
        out += QChar('[') + section->Name + QStringLiteral("]\n");
        for (const auto& [key, value] : section->Keys)
            out += key + QChar('=') + value + QChar('\n');
    }
    return out;
}

TSettingsStore::TSettingsStore(QString fileName)
    : FFileName(std::move(fileName))
{
    FImage.Parse(ReadFileText(FFileName));
}

TSettingsStore::~TSettingsStore()
{
    if (!FPending.empty()) {
        try {
            Flush();
        } catch (const ETarvellError&) {
            // A destructor cannot report; EndUpdate is where callers learn of the failure.
        }
    }
}

bool TSettingsStore::SectionExists(const QString& section) const { return FImage.Find(section) != nullptr; }

bool TSettingsStore::ValueExists(const QString& section, const QString& key) const
{
    const TSection* s = FImage.Find(section);
    return s && s->Index.count(Fold(key)) > 0;
}

QString TSettingsStore::ReadString(const QString& section, const QString& key, const QString& def) const
{
    const TSection* s = FImage.Find(section);
    if (!s)
        return def;
    const auto it = s->Index.find(Fold(key));
    return it == s->Index.end() ? def : s->Keys[it->second].second;
}

int TSettingsStore::ReadInteger(const QString& section, const QString& key, int def) const
{
    const QString text = ReadString(section, key, QString());
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : def;
}

bool TSettingsStore::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

QStringList TSettingsStore::ReadSection(const QString& section) const
{
    QStringList keys;
    if (const TSection* s = FImage.Find(section))
        for (const auto& kv : s->Keys)
            keys << kv.first;
    return keys;
}

QStringList TSettingsStore::ReadSections() const
{
    QStringList names;
    for (const auto& s : FImage.Sections)
        names << s->Name;
    return names;
}

void TSettingsStore::WriteString(const QString& section, const QString& key, const QString& value)
{
    CheckKey(key);
    Record({TOp::Write, OneLine(section), key, OneLine(value)});
}

void TSettingsStore::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TSettingsStore::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettingsStore::DeleteKey(const QString& section, const QString& key)
{
    Record({TOp::DeleteKey, OneLine(section), key, QString()});
}

void TSettingsStore::EraseSection(const QString& section) { Record({TOp::EraseSection, OneLine(section), QString(), QString()}); }

void TSettingsStore::BeginUpdate() { ++FUpdateDepth; }

void TSettingsStore::EndUpdate()
{
    if (FUpdateDepth > 0 && --FUpdateDepth == 0 && !FPending.empty())
        Flush();
}

QString TSettingsStore::ToText() const { return FImage.Text(); }

void TSettingsStore::Record(TOp op)
{
    FImage.Apply(op);
    FPending.push_back(std::move(op));
    if (FUpdateDepth == 0)
        Flush();
}

void TSettingsStore::Flush()
{
    // Start from what is on disk now, so writes made by other store objects since we read survive.
    TImage fresh;
    fresh.Parse(ReadFileText(FFileName));
    for (const TOp& op : FPending)
        fresh.Apply(op);
    FPending.clear();
    const QFileInfo info(FFileName);
    QDir().mkpath(info.absolutePath());
    TAtomicFile file(FFileName);
    const QByteArray bytes = fresh.Text().toUtf8();
    if (!file.Open() || !file.Write(bytes.constData(), bytes.size()) || !file.Commit())
        throw EStoreError(TGeneralTexts::tr("Unable to write the settings file %1: %2").arg(FFileName, file.ErrorString()));
    FImage = std::move(fresh);
}
