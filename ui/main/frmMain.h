// The main window: the start-up window of Corvane.
#pragma once

#include <QWidget>

namespace corvane {

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(QWidget* parent = nullptr);
};

}  // namespace corvane
