#pragma once
// The About box behind "Hakkinda".

#include <QDialog>

class QLabel;
class QPushButton;

namespace kolva {

class TfAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfAbout(QWidget* parent = nullptr);

    QLabel* imgLogo = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblWeb = nullptr;
    QPushButton* cxButton1 = nullptr;

public Q_SLOTS:
    void cxButton1Click() { accept(); }
};

} // namespace kolva
