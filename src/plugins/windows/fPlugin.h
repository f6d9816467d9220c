// The parameter dialog of a map plug-in: one row per parameter the user can set, written to the
// plug-in and its settings section on OK.
#pragma once

#include <QDialog>

#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QVBoxLayout;
class TPluginBase;

// A plain dialog (not a program form), centred on its owner.
class TfmPlugin : public QDialog {
    Q_OBJECT
public:
    explicit TfmPlugin(QWidget* owner = nullptr);

    // Set by the owner before ShowModal; not owned.
    TPluginBase* Plugin = nullptr;

    // Builds the rows from the stored values (default: the plug-in's default) and shows the dialog
    // modally. Throws EUserError before showing when a stored value or limit of an integer
    // parameter is not a number.
    int ShowModal();
    // Builds the caption and the rows; ShowModal's first step.
    void BuildRows();

public slots:
    // OK: saves and closes; a failure is shown and the dialog stays open.
    void accept() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    friend class TfmPluginTestAccess;

    QScrollArea* ScrollBox1 = nullptr;
    QPushButton* buOk = nullptr;
    QPushButton* buCancel = nullptr;

    struct TRow {
        int Index;
        int Type;
        QSpinBox* UpDown = nullptr;
        QLineEdit* Edit = nullptr;
        QComboBox* List = nullptr;
    };
    void Retranslate();
    // Writes every row's value to the store and the plug-in; throws on a failing store or plug-in.
    void Save();

    QWidget* FRows = nullptr;
    QVBoxLayout* FRowLayout = nullptr;
    std::vector<TRow> FParams;
};
