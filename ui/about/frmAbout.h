// The About window: the product's name, version and purpose beside its artwork, a legal
// notice, and a button that opens the product's web site.
#pragma once

#include "platform/Form.h"

namespace corvane {

// The product's web site, opened by "Visit Website".
inline const QString kWebsite = QStringLiteral("https://corvane.org/");

class frmAbout : public platform::Form {
    Q_OBJECT
public:
    frmAbout();
    static platform::FormLayout Layout();
    // Shows the one About window, creating it on first use.
    static frmAbout* ShowAbout();

private:
    void cmdOK_Click();
    void cmdvisit_Click();
    void OpenWebsite(const QString& address);
};

}  // namespace corvane
