// The program's QApplication, made so that a machine without a display gets a clear answer.
#pragma once

#include <QApplication>

#include <memory>
#include <string>

namespace corvane::platform {

// Makes the QApplication; Qt takes its own options (-platform, -style, ...) out of argc/argv.
// When no window can be opened (no display, or a platform plugin that cannot start), Qt would
// print several lines and abort. Instead the program ends here with one line on standard error,
// "<program>: Error: 6: Cannot open a window: <Qt's reason>", and exit status 1. Qt's other
// messages while the application is made are held back until it exists, then shown as usual.
std::unique_ptr<QApplication> OpenApplication(int& argc, char** argv, const std::string& program);

}  // namespace corvane::platform
