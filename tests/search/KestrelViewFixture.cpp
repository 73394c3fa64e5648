#include "tests/search/KestrelViewFixture.h"

#include <QLineEdit>

#include "app/Settings.h"
#include "tests/controls/GuiTestApp.h"

void KestrelViewFixture::SetUp() {
  RegistryFixture::SetUp();
  GuiTestApp();
  // Start-up has made the key by the time the form exists.
  CreateSettingsKey();
  CloseSettingsKey();
}

void KestrelViewFixture::TearDown() {
  if (view && view->RunningWorker()) view->RunningWorker()->Stop();
  view.reset();
  RegistryFixture::TearDown();
}

void KestrelViewFixture::RecordStatus() {
  QObject::connect(view->StatusLine(), &QLineEdit::textChanged,
                   [this](const QString& text) { statuses.push_back(text.toStdString()); });
}

bool KestrelViewFixture::WaitIdle(int milliseconds) {
  return WaitUntil([this] { return view->ButtonCaption() == "Dupe!"; }, milliseconds);
}
