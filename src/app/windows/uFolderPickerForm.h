// What the two folder pickers share: the text at the top, the folder tree, the selected path, the
// target file type (the writers) and the OK and Cancel buttons.
#pragma once

#include "app/windowbase/uTarvellForm.h"

#include <utility>
#include <vector>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class TFolderPickerForm : public TTarvellModalForm {
    Q_OBJECT
public:
    // The row of the target file type (the writers); -1 for none.
    int FileTypeIndex() const;
    void SetFileTypeIndex(int row);
    void SetFileTypeVisible(bool visible);

protected:
    explicit TFolderPickerForm(QWidget* owner);
    // Lays the parts out around tree: the path (with pathLabel when given), then rows, the file
    // type and the buttons; returns the OK button. Cancel rejects, OK is the caller's.
    QPushButton* Build(QWidget* tree, QLabel* pathLabel, const std::vector<std::pair<QLabel*, QWidget*>>& rows);
    // The shared texts; Cancel is set here.
    void Retranslate() override;
    // The subclass shows its tree's selection here.
    void ShowPath(const QString& path);

private:
    friend class TFolderPickerFormTestAccess;

    QLabel* laInfo = nullptr;
    QLineEdit* edPath = nullptr;
    QLabel* laFileType = nullptr;
    QComboBox* coFileType = nullptr;
    QPushButton* FCancel = nullptr;
};
