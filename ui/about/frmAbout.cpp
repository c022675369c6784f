#include "ui/about/frmAbout.h"

#include "platform/Desktop.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

using platform::ControlKind;
using platform::ControlRow;
using platform::FontSpec;

platform::FormLayout frmAbout::Layout()
{
    const FontSpec large{QStringLiteral("MS Sans Serif"), 9.75, false};
    return {
        .name = QStringLiteral("frmAbout"),
        .caption = QStringLiteral("About"),
        .border = platform::BorderStyle::FixedDialog,
        .clientWidth = 5445,
        .clientHeight = 3090,
        .position = QPoint(2340, 1935),
        .icon = {},
        .font = {QStringLiteral("MS Sans Serif"), 8.25, false},
        .controls = {
            //         name       kind                  text                                   left   top  width height
            ControlRow{"picIcon", ControlKind::Picture, ":/corvane/about-artwork.png", 0, 0, 1365, 4155, -1, {}, {}, {}},
            ControlRow{"label1", ControlKind::Label, "Corvane - File Encoder/Decoder", 1440, 0, 3885, 465, -1, large, {}, {}},
            ControlRow{"lbv", ControlKind::Label, "Version 1.0.0.0", 1440, 600, 3885, 225, -1, large, {}, {}},
            ControlRow{"label3", ControlKind::Label, "This program will encode/decode your selected file(s).", 1440, 840,
                       3870, 825, -1, FontSpec{QStringLiteral("MS Sans Serif"), 12, false}, {}, {}},
            ControlRow{"Line1", ControlKind::Line, {}, 1440, 1800, 5400, 1800, -1, {}, {}, {}},  // from, to
            ControlRow{"Label2", ControlKind::Label,
                       QString::fromUtf8("\u00A9 2026 The Corvane developers. Provided as is, without warranty. "
                                         "Encoding hides content; it is not encryption."),
                       1440, 1920, 2415, 1095, -1, {}, {}, {}},
            XpButtonRow("cmdOK", "&OK", 4080, 1920, 1215, 375, 0),
            XpButtonRow("cmdvisit", "&Visit Website", 4080, 2400, 1215, 615, 1),
        },
    };
}

frmAbout::frmAbout() : Form(Layout())
{
    connect(Control<ZelXpButton>(QStringLiteral("cmdOK")), &ZelXpButton::Click, this, &frmAbout::cmdOK_Click);
    connect(Control<ZelXpButton>(QStringLiteral("cmdvisit")), &ZelXpButton::Click, this, &frmAbout::cmdvisit_Click);
}

frmAbout* frmAbout::ShowAbout()
{
    return platform::ShowForm<frmAbout>(QStringLiteral("frmAbout"), [] { return new frmAbout; });
}

void frmAbout::cmdOK_Click() { Unload(); }
void frmAbout::cmdvisit_Click() { OpenWebsite(kWebsite); }

// The outcome is not examined: a system that cannot open the address shows nothing.
void frmAbout::OpenWebsite(const QString& address) { platform::OpenAddress(address); }

}  // namespace corvane
