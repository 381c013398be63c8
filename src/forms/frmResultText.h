// A window showing the lines of a result (the design check, the comparison with a database):
// a heading, the lines in a read-only text box the user can select and copy from, and 閉じる.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class frmResultText : public QDialog {
    Q_OBJECT
public:
    // strTitle goes after the application's title in the caption; strHeading above the lines.
    frmResultText(QWidget* objParent, const std::string& strTitle, const std::string& strHeading,
                  const std::vector<std::string>& colLines);

private:
    // Controls (their object names are these names).
    QLabel* lblHeading;
    QPlainTextEdit* txtResult;
    QPushButton* cmdClose;
};
