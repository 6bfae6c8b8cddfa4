#pragma once

#include <QApplication>

namespace shell {

// The application object: handlers are entered through ui::Guard; this
// catches whatever still escapes an event handler, so Qt never sees an
// exception and the loop goes on.
class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace shell
