// The ini-style settings store: sections of keys, looked up case-insensitively, kept in one file
// that every write replaces atomically.
#pragma once

#include "core/uGeneral.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <unordered_map>
#include <vector>

// The store file could not be written.
class EStoreError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// One store object on one file. It reads the file when created. Each write re-reads the file,
// applies the change and replaces the file (temporary sibling, then rename), so two store objects
// writing different keys never undo each other. Between BeginUpdate and EndUpdate the writes are
// collected and reach the file together. "\" is an ordinary character in section names.
// Values never hold a line break: CR and LF are written as blanks.
class TSettingsStore {
public:
    explicit TSettingsStore(QString fileName);
    ~TSettingsStore();
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    const QString& FileName() const { return FFileName; }

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // An integer that is missing or not a whole number reads as def.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    // Booleans are integers: non-zero is true.
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    // Keys of a section in file order.
    QStringList ReadSection(const QString& section) const;
    QStringList ReadSections() const;

    // Throw EStoreError when the file cannot be replaced (outside an update).
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void DeleteKey(const QString& section, const QString& key);
    void EraseSection(const QString& section);

    void BeginUpdate();
    // Throws EStoreError when the collected writes cannot be saved.
    void EndUpdate();

    // The text the store would write for its current content.
    QString ToText() const;

private:
    struct TOp {
        enum Kind { Write, DeleteKey, EraseSection } Kind;
        QString Section, Key, Value;
    };
    struct TSection {
        QString Name;
        std::vector<std::pair<QString, QString>> Keys;
        std::unordered_map<QString, size_t> Index;
    };
    struct TImage {
        std::vector<std::unique_ptr<TSection>> Sections;
        std::unordered_map<QString, size_t> Index;
        void Parse(const QString& text);
        void Apply(const TOp& op);
        TSection* Find(const QString& section) const;
        QString Text() const;
    };

    void Record(TOp op);
    void Flush();

    QString FFileName;
    TImage FImage;
    std::vector<TOp> FPending;
    int FUpdateDepth = 0;
};
