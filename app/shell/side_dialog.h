// The small panel beside the text panel: the current channel (switched
// under the hold protocol), the x axis unit, and what the unit is.
#ifndef QUILLON_APP_SHELL_SIDE_DIALOG_H
#define QUILLON_APP_SHELL_SIDE_DIALOG_H

#include <QComboBox>
#include <QFrame>
#include <QLabel>

namespace quillon {

class DataControl;

class CSideDialog : public QFrame {
    Q_OBJECT

public:
    explicit CSideDialog(QWidget *parent = nullptr);

    // Shows the channels and the current settings without emitting choices.
    void refresh(const DataControl &control);

    QComboBox &channelBox() { return channel_; }
    QComboBox &xUnitBox() { return xUnit_; }

signals:
    void channelChosen(int channel);
    void xUnitChosen(int unit);

private:
    QComboBox channel_;
    QComboBox xUnit_;
    QLabel unit_;
    QLabel range_;
    bool refreshing_ = false;
};

QString sensorName(int boardType);

} // namespace quillon

#endif
