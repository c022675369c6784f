#include "ui/about/frmAbout.h"

#include "platform/Desktop.h"
#include "ui/button/ButtonRow.h"
#include "ui/button/ZelXpButton.h"

namespace corvane {

platform::FormLayout frmAbout::Layout()
{
    using namespace platform::rows;
    const platform::FontChoice large = platform::kWindowFont.Sized(9.75);
    const platform::FontChoice largest = platform::kWindowFont.Sized(12);
    return {
        .name = QStringLiteral("frmAbout"),
        .caption = QStringLiteral("About"),
        .border = platform::BorderStyle::FixedDialog,
        .clientWidth = 5445,
        .clientHeight = 3090,
        .position = platform::TwipsPoint{2340, 1935},
        .controls = {
            //          name        caption / image                              left   top  width height  tab
            Picture    ("picIcon",  ":/corvane/about-artwork.png",               {   0,    0, 1365, 4155}),
            Label      ("label1",   "Corvane - File Encoder/Decoder",            {1440,    0, 3885,  465}).WithFont(large),
            Label      ("lbv",      "Version " CORVANE_VERSION,                  {1440,  600, 3885,  225}).WithFont(large),
            Label      ("label3",   "This program will encode/decode your selected file(s).",
                                                                                 {1440,  840, 3870,  825}).WithFont(largest),
            Line       ("Line1",    {1440, 1800}, {5400, 1800}),
            Label      ("Label2",   QString::fromUtf8("\u00A9 2026 The Corvane developers. MIT License: provided "
                                                      "as is, without warranty. Encoding hides content; it is not encryption."),
                                                                                 {1440, 1920, 2415, 1095}),
            XpButtonRow("cmdOK",    "&OK",                                       {4080, 1920, 1215,  375},  0),
            XpButtonRow("cmdvisit", "&Visit Website",                            {4080, 2400, 1215,  615},  1),
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
