#include "ui/main/frmMain.h"

namespace corvane {

frmMain::frmMain(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Corvane - File Encoder/Decoder"));
    // 8040 x 7125 twips at 15 twips a pixel.
    setFixedSize(536, 475);
}

}  // namespace corvane
