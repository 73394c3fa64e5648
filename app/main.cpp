#include <QApplication>
#include <QLabel>

#include "platform/QtMessageBox.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  InstallQtMessageBox();
  QLabel placeholder("Kestrel");
  placeholder.show();
  return app.exec();
}
