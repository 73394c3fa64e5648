#pragma once
// A widget of a window by its control id: every widget the dialog builder makes carries its id
// as object name, so tests reach controls the way the program does, not through getters.
#include <QString>
#include <QWidget>

template <class W>
W* FindById(const QWidget& root, int id) {
  return root.findChild<W*>(QString::number(id));
}
