#pragma once
// The Qt backend of the message-box seam: shows a QMessageBox on the UI thread, whichever thread
// asks, and waits for the answer.
class QWidget;

void InstallQtMessageBox();
