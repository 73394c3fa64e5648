#include <QApplication>
#include <QLabel>

#include "db/DupesConnection.h"
#include "platform/QtMessageBox.h"

int main(int argc, char** argv) {
  InitDupesLibrary();  // before any thread
  QApplication app(argc, argv);
  InstallQtMessageBox();
  QLabel placeholder("Kestrel");
  placeholder.show();
  return app.exec();
}
