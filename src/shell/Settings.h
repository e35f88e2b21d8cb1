#pragma once
// "Ayarlar": the serial-link parameters and the grid's collapse option, loaded once at
// start-up from the configuration file and stored on "Tamam".

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QToolButton;

namespace kolva {

class Host;

class TfSettings : public QDialog {
    Q_OBJECT
public:
    // `host` reports a load or store error (never null while the dialog lives).
    explicit TfSettings(Host* host, QWidget* parent = nullptr);

    // Lists the serial ports present, in the system's order (replaceable in tests).
    using PortLister = std::function<QStringList()>;
    void SetPortLister(PortLister lister) { portLister_ = std::move(lister); }
    static QStringList SystemPorts();

    // Loads every field from the configuration (completing the file). Runs once, from the
    // constructor; a conversion error is reported and leaves the later fields as designed.
    void FormCreate();

    // The values the fields stand for, as they are stored.
    QString StopBitValue() const;
    QString ParityValue() const;

public Q_SLOTS:
    void cxButton1Click(); // "Tamam"
    void btnscanClick();   // port scan

public:
    QGroupBox* grpSerial = nullptr;
    QGroupBox* grpOther = nullptr;
    QComboBox* cxcomport = nullptr;
    QToolButton* btnscan = nullptr;
    QComboBox* cxbaudrate = nullptr;
    QSpinBox* cxdatabits = nullptr;
    QComboBox* cxparity = nullptr;
    QComboBox* cxstopbit = nullptr;
    QSpinBox* cxtimeout = nullptr;
    QCheckBox* chcollapse = nullptr;
    QLabel* lblcollapse = nullptr; // the check box's caption
    QPushButton* cxButton1 = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Load();
    static void SelectValue(QComboBox* box, const QString& value, QString* unmatched);

    Host* host_;
    PortLister portLister_;
    // A loaded stop-bit / parity value that is none of the items: kept and stored back as
    // it was until the user picks an item.
    QString stopBitRaw_;
    QString parityRaw_;
};

} // namespace kolva
