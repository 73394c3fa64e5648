#include "tests/search/KestrelViewFixture.h"

#include <QLineEdit>

#include "app/Settings.h"
#include "res/ResourceIds.h"
#include "tests/support/FindById.h"
#include "tests/support/GuiTestApp.h"

void KestrelViewFixture::SetUp() {
  SettingsFixture::SetUp();
  // Start-up has made the key by the time the form exists.
  CreateSettingsKey();
  CloseSettingsKey();
}

void KestrelViewFixture::TearDown() {
  if (view && view->RunningWorker()) view->RunningWorker()->Stop();
  view.reset();
  SettingsFixture::TearDown();
}

void KestrelViewFixture::RecordStatus() {
  QObject::connect(FindById<QLineEdit>(*view, IDC_STATUS), &QLineEdit::textChanged,
                   [this](const QString& text) { statuses.push_back(text.toStdString()); });
}

bool KestrelViewFixture::WaitIdle(int milliseconds) {
  return WaitUntil([this] { return view->ButtonCaption() == "Dupe!"; }, milliseconds);
}
